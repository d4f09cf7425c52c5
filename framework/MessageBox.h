#pragma once

#include <string>

class QWidget;

// The one way the program tells the user something: a modal box with an exclamation icon and an OK
// button only, captioned with the application's name. Returns when the user has closed it.
void AfxMessageBox(const std::string& text, QWidget* parent = nullptr);
