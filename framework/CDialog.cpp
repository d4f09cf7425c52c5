#include "framework/CDialog.h"

#include "framework/CDataExchange.h"
#include "framework/DropDownList.h"
#include "framework/MessageBox.h"
#include "framework/NativeFrame.h"
#include "framework/PostedMessageQueue.h"
#include "framework/WindowRegistry.h"

#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

namespace
{
QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool isEnterKey(const QKeyEvent* key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

Qt::WindowFlags windowFlagsOf(unsigned style)
{
    // An application window is a top-level window of its own; a dialog belongs to another window,
    // or to the application, and window managers keep it above that.
    Qt::WindowFlags flags = (style & WindowStyle::kAppWindow) != 0U ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
             Qt::WindowCloseButtonHint;
    if ((style & WindowStyle::kMinimizeBox) != 0U)
    {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    if ((style & WindowStyle::kMaximizeBox) != 0U)
    {
        flags |= Qt::WindowMaximizeButtonHint;
    }
    return flags;
}

Qt::ScrollBarPolicy scrollPolicy(unsigned style, unsigned flag)
{
    return (style & flag) != 0U ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
}
} // namespace

CDialog::CDialog(const DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent), m_template(dialogTemplate)
{
}

CDialog::~CDialog()
{
    DestroyWindow();
}

bool CDialog::Create()
{
    if (m_hWnd != 0)
    {
        return true;
    }
    createControls();
    m_hWnd = static_cast<HWND>(winId());
    if (m_hWnd == 0)
    {
        return false;
    }
    m_queue = std::make_shared<PostedMessageQueue>(this);
    WindowRegistry::add(m_hWnd, m_queue);
    if (OnInitDialog())
    {
        for (const ControlTemplate& control : m_template.controls)
        {
            QWidget* widget =
                m_controls.count(control.id) != 0U ? m_controls.at(control.id) : nullptr;
            if (widget != nullptr && (control.style & ControlStyle::kTabStop) != 0U)
            {
                widget->setFocus(Qt::TabFocusReason);
                break;
            }
        }
    }
    return true;
}

int CDialog::DoModal()
{
    if (!Create())
    {
        return IDCANCEL;
    }
    const int result = exec();
    DestroyWindow();
    return result == QDialog::Accepted ? IDOK : IDCANCEL;
}

void CDialog::EndDialog(int result)
{
    done(result == IDOK ? QDialog::Accepted : QDialog::Rejected);
}

void CDialog::DestroyWindow()
{
    if (m_queue == nullptr)
    {
        return;
    }
    WindowRegistry::remove(m_hWnd);
    const std::shared_ptr<PostedMessageQueue> queue = std::move(m_queue);
    for (const PostedMessage& message : queue->close())
    {
        OnUndeliveredMessage(message);
    }
    hide();
}

void CDialog::createControls()
{
    setWindowFlags(windowFlagsOf(m_template.windowStyle));
    setWindowTitle(toQString(m_template.title));
    QFont font(toQString(m_template.fontFamily));
    font.setPointSize(m_template.fontPointSize);
    setFont(font);
    m_units.emplace(font);
    const DialogUnits& units = *m_units;
    // No sizing border: the user cannot resize the window, only the program can.
    setFixedSize(units.toPixelsX(m_template.width), units.toPixelsY(m_template.height));

    QWidget* previous = nullptr;
    for (const ControlTemplate& control : m_template.controls)
    {
        QWidget* widget = createControl(control);
        widget->setGeometry(units.toPixels(control.x, control.y, control.width, control.height));
        if (auto* list = qobject_cast<DropDownList*>(widget))
        {
            // The template's height holds the closed box and its dropped part together.
            const int closed = list->sizeHint().height();
            list->resize(list->width(), closed);
            list->setDroppedHeight(units.toPixelsY(control.height) - closed,
                                   (control.style & ControlStyle::kNoIntegralHeight) == 0U);
        }
        widget->setFocusPolicy((control.style & ControlStyle::kTabStop) != 0U ? Qt::StrongFocus
                               : (control.kind == ControlKind::Edit)          ? Qt::ClickFocus
                                                                              : Qt::NoFocus);
        if (control.id != kNoControlId)
        {
            m_controls[control.id] = widget;
        }
        if (previous != nullptr)
        {
            QWidget::setTabOrder(previous, widget);
        }
        previous = widget;
    }
    // Group boxes are drawn behind the controls they frame and never take a click.
    for (QGroupBox* group : findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly))
    {
        group->lower();
    }
}

QWidget* CDialog::createControl(const ControlTemplate& control)
{
    const QString text = toQString(control.text);
    switch (control.kind)
    {
    case ControlKind::Edit:
        if ((control.style & ControlStyle::kMultiLine) != 0U)
        {
            auto* field = new QPlainTextEdit(text, this);
            field->setLineWrapMode(QPlainTextEdit::NoWrap);
            field->setReadOnly((control.style & ControlStyle::kReadOnly) != 0U);
            field->setVerticalScrollBarPolicy(scrollPolicy(control.style, ControlStyle::kVScroll));
            field->setHorizontalScrollBarPolicy(
                scrollPolicy(control.style, ControlStyle::kHScroll));
            if ((control.style & ControlStyle::kWantReturn) == 0U)
            {
                field->installEventFilter(this);
            }
            return field;
        }
        else
        {
            auto* edit = new QLineEdit(text, this);
            edit->setFrame((control.style & ControlStyle::kBorder) != 0U);
            edit->setReadOnly((control.style & ControlStyle::kReadOnly) != 0U);
            return edit;
        }
    case ControlKind::PushButton:
    {
        auto* button = new QPushButton(text, this);
        button->setAutoDefault(false);
        const int id = control.id;
        connect(button, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
        return button;
    }
    case ControlKind::DropDownList:
        return new DropDownList(this);
    case ControlKind::StaticFrame:
    {
        auto* frame = new NativeFrame(this);
        m_frames.push_back(frame);
        return frame;
    }
    case ControlKind::GroupBox:
    {
        auto* group = new QGroupBox(text, this);
        group->setAttribute(Qt::WA_TransparentForMouseEvents);
        return group;
    }
    case ControlKind::Label:
        break;
    }
    auto* label = new QLabel(text, this);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

bool CDialog::OnInitDialog()
{
    for (const InitialItem& item : m_template.initialItems)
    {
        if (auto* list = qobject_cast<QComboBox*>(GetDlgItem(item.controlId).widget()))
        {
            const int selected = list->currentIndex();
            list->addItem(toQString(item.text));
            list->setCurrentIndex(selected);
        }
    }
    UpdateData(false);
    return true;
}

void CDialog::DoDataExchange(CDataExchange* /*pDX*/) {}

bool CDialog::UpdateData(bool saveAndValidate)
{
    CDataExchange exchange(this, saveAndValidate);
    DoDataExchange(&exchange);
    if (!saveAndValidate)
    {
        return true;
    }
    m_unreadFields = exchange.failedControls();
    if (exchange.failed())
    {
        showFailedField(m_unreadFields.front());
        return false;
    }
    return true;
}

bool CDialog::FieldWasRead(int controlId) const
{
    return std::find(m_unreadFields.begin(), m_unreadFields.end(), controlId) ==
           m_unreadFields.end();
}

void CDialog::showFailedField(int controlId)
{
    AfxMessageBox("Please enter a whole number.", this);
    QWidget* field = GetDlgItem(controlId).widget();
    if (field != nullptr)
    {
        field->setFocus(Qt::OtherFocusReason);
        if (auto* edit = qobject_cast<QLineEdit*>(field))
        {
            edit->selectAll();
        }
    }
}

CWnd CDialog::GetDlgItem(int controlId) const
{
    const auto it = m_controls.find(controlId);
    return CWnd(it == m_controls.end() ? nullptr : it->second);
}

void CDialog::MoveWindow(int x, int y, int width, int height)
{
    CWnd(this).SetWindowPos(x, y, width, height, WindowPosFlag::SWP_NOZORDER);
}

LRESULT CDialog::WindowProc(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    return 0;
}

void CDialog::OnUndeliveredMessage(const PostedMessage& /*message*/) {}

void CDialog::OnPostedRoundEnd(std::size_t /*taken*/) {}

void CDialog::OnCommand(int /*controlId*/) {}

void CDialog::OnOK()
{
    if (UpdateData(true))
    {
        EndDialog(IDOK);
    }
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

QPainter* CDialog::BeginPaint()
{
    if (m_painter == nullptr)
    {
        update();
    }
    return m_painter;
}

void CDialog::OnPaint()
{
    QPainter* painter = BeginPaint();
    if (painter == nullptr)
    {
        return;
    }
    // Static frames are outlined in the window-frame colour, just outside their own window,
    // which belongs to whoever draws into it.
    painter->setPen(palette().color(QPalette::WindowText));
    for (const QWidget* frame : m_frames)
    {
        painter->drawRect(frame->geometry().adjusted(-1, -1, 0, 0));
    }
}

bool CDialog::event(QEvent* event)
{
    if (event->type() == PostedMessageQueue::wakeEventType())
    {
        deliverPostedMessages();
        return true;
    }
    return QDialog::event(event);
}

void CDialog::deliverPostedMessages()
{
    if (m_queue == nullptr)
    {
        return;
    }
    // One round takes what waits now; what arrives meanwhile waits for the next round, after
    // input and painting have had their turn.
    const std::shared_ptr<PostedMessageQueue> queue = m_queue;
    const std::size_t round = queue->size();
    for (std::size_t left = round; left > 0; --left)
    {
        const std::optional<PostedMessage> message = queue->take();
        if (!message)
        {
            break;
        }
        WindowProc(message->message, message->wParam, message->lParam);
        if (m_queue != queue)
        {
            return; // the window was destroyed by a handler
        }
    }
    queue->endRound();
    OnPostedRoundEnd(round);
}

void CDialog::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    m_painter = &painter;
    OnPaint();
    m_painter = nullptr;
}

void CDialog::keyPressEvent(QKeyEvent* event)
{
    if (isEnterKey(event) && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier)
    {
        // Enter on a push button presses it; anywhere else it is the OK command.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()))
        {
            button->click();
        }
        else
        {
            OnOK();
        }
        return;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
    {
        OnCancel();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool CDialog::eventFilter(QObject* watched, QEvent* event)
{
    // A multi-line field that does not want Enter leaves it to the window.
    if (event->type() == QEvent::KeyPress && qobject_cast<QPlainTextEdit*>(watched) != nullptr)
    {
        auto* key = static_cast<QKeyEvent*>(event);
        if (isEnterKey(key) && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier)
        {
            OnOK();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CDialog::reject()
{
    OnCancel();
}
