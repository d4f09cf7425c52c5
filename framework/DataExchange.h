#pragma once

#include <cstdint>
#include <string>

class CDataExchange;
class CWnd;
class QWidget;

// The rows of a dialog's data exchange. A read copies the control into the value, a write the
// value into the control.
void DDX_Control(CDataExchange* pDX, int controlId, CWnd& control);
void DDX_Text(CDataExchange* pDX, int controlId, std::string& value);
// A read that finds no whole number keeps the value and marks the field as failed.
void DDX_Text(CDataExchange* pDX, int controlId, int32_t& value);

// A control's whole text, UTF-8. Multi-line fields end their lines with "\r\n".
std::string GetControlText(const QWidget* control);
void SetControlText(QWidget* control, const std::string& text);
