#include "framework/CComboBox.h"

#include <QComboBox>
#include <QSignalBlocker>

QComboBox* CComboBox::box() const
{
    return qobject_cast<QComboBox*>(widget());
}

void CComboBox::ResetContent()
{
    if (QComboBox* list = box())
    {
        list->clear();
    }
}

int CComboBox::InsertString(int index, std::string_view text)
{
    QComboBox* list = box();
    if (list == nullptr || index < -1 || index > list->count())
    {
        return -1;
    }
    const int position = index == -1 ? list->count() : index;
    const int selected = list->currentIndex();
    list->insertItem(position, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    // QComboBox selects the first item put into an empty box; a list selects nothing by itself.
    if (selected == -1 && list->currentIndex() != -1)
    {
        const QSignalBlocker blocker(list);
        list->setCurrentIndex(-1);
    }
    return position;
}

int CComboBox::GetCount() const
{
    const QComboBox* list = box();
    return list == nullptr ? 0 : list->count();
}

int CComboBox::GetCurSel() const
{
    const QComboBox* list = box();
    return list == nullptr ? -1 : list->currentIndex();
}

int CComboBox::SetCurSel(int index)
{
    QComboBox* list = box();
    if (list == nullptr)
    {
        return -1;
    }
    if (index < -1 || index >= list->count())
    {
        list->setCurrentIndex(-1);
        return -1;
    }
    list->setCurrentIndex(index);
    return index;
}
