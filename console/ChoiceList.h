#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

class CComboBox;

struct ChoiceItem
{
    std::string_view text;
    int32_t code;
};

// A fixed table of list items, each standing for one library code, and the two maps between a
// list position and a code.
class ChoiceList
{
public:
    constexpr explicit ChoiceList(std::span<const ChoiceItem> items) : m_items(items) {}

    [[nodiscard]] std::span<const ChoiceItem> items() const { return m_items; }
    // The code of the item at `position`; nothing for a position outside the table (-1 included).
    [[nodiscard]] std::optional<int32_t> codeAt(int position) const;
    // The position of the item carrying `code`; nothing when no item does.
    [[nodiscard]] std::optional<int> positionOf(int32_t code) const;

    // Empties the list and appends the table's items in order; selects nothing.
    void Fill(CComboBox& list) const;
    // Selects the item carrying `code`; leaves the selection alone when no item does.
    void Show(CComboBox& list, int32_t code) const;

    static const ChoiceList& DeviceTypes();
    static const ChoiceList& StreamFormats();
    static const ChoiceList& JPEGResolutions();
    static const ChoiceList& MPEG4Resolutions();
    static const ChoiceList& H264Resolutions();

private:
    std::span<const ChoiceItem> m_items;
};
