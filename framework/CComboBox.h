#pragma once

#include "framework/CWnd.h"

#include <string_view>

class QComboBox;

// A drop-down list: the user picks an item and cannot type. Items stay where they are put; adding
// an item never selects one.
class CComboBox : public CWnd
{
public:
    void ResetContent();
    // Places the text at `index`, or after the last item for -1. Returns its position, or -1.
    int InsertString(int index, std::string_view text);
    [[nodiscard]] int GetCount() const;
    // The selected position, or -1 when none is selected.
    [[nodiscard]] int GetCurSel() const;
    // Selects a position (-1 clears the selection). Returns it, or -1 when out of range.
    int SetCurSel(int index);

private:
    [[nodiscard]] QComboBox* box() const;
};
