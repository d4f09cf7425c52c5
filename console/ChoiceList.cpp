#include "console/ChoiceList.h"

#include "framework/CComboBox.h"

#include <array>

namespace
{
constexpr std::array<ChoiceItem, 6> kDeviceTypes{{
    {"0 : Tessel", 0},
    {"1 : Orvane", 1},
    {"2 : Vimbra", 2},
    {"3 : Quenro", 3},
    {"4 : Darsel", 4},
    {"6 : Kalvo", 6},
}};

constexpr std::array<ChoiceItem, 5> kStreamFormats{{
    {"0 : JPEG", 0},
    {"1 : MPEG-4", 1},
    {"2 : Tessel", 2},
    {"3 : H.264", 3},
    {"6 : H.265", 6},
}};

// Picture widths, right-aligned in four characters; each resolution list is a prefix of these.
constexpr std::array<ChoiceItem, 7> kWidths{{
    {" 320", 320},
    {" 640", 640},
    {" 800", 800},
    {" 960", 960},
    {"1280", 1280},
    {"1920", 1920},
    {"2048", 2048},
}};
} // namespace

std::optional<int32_t> ChoiceList::codeAt(int position) const
{
    if (position < 0 || static_cast<std::size_t>(position) >= m_items.size())
    {
        return std::nullopt;
    }
    return m_items[static_cast<std::size_t>(position)].code;
}

std::optional<int> ChoiceList::positionOf(int32_t code) const
{
    for (std::size_t i = 0; i < m_items.size(); ++i)
    {
        if (m_items[i].code == code)
        {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

void ChoiceList::Fill(CComboBox& list) const
{
    list.ResetContent();
    for (const ChoiceItem& item : m_items)
    {
        list.InsertString(-1, item.text);
    }
}

void ChoiceList::Show(CComboBox& list, int32_t code) const
{
    if (const std::optional<int> position = positionOf(code))
    {
        list.SetCurSel(*position);
    }
}

const ChoiceList& ChoiceList::DeviceTypes()
{
    static const ChoiceList list{kDeviceTypes};
    return list;
}

const ChoiceList& ChoiceList::StreamFormats()
{
    static const ChoiceList list{kStreamFormats};
    return list;
}

const ChoiceList& ChoiceList::JPEGResolutions()
{
    static const ChoiceList list{kWidths};
    return list;
}

const ChoiceList& ChoiceList::MPEG4Resolutions()
{
    static const ChoiceList list{std::span(kWidths).first(2)};
    return list;
}

const ChoiceList& ChoiceList::H264Resolutions()
{
    static const ChoiceList list{std::span(kWidths).first(6)};
    return list;
}
