#pragma once

#include <memory>
#include <string>
#include <string_view>

class CDataExchange;
class LogView;

// The bound value of the log field: the whole log, newest line first, every line ended by "\r\n".
// The log can grow to millions of lines, so the value is not kept as one string: lines added since
// the last write wait here, and the rest is what the field shows.
class LogText
{
public:
    LogText();
    ~LogText();
    LogText(const LogText&) = delete;
    LogText& operator=(const LogText&) = delete;

    // Puts one line (its line end is added here) in front of the log.
    void prepend(std::string_view line);
    // The whole log text.
    [[nodiscard]] std::string str() const;

    // Data exchange with the log field: a read takes in what the user typed there, a write puts
    // the waiting lines on top of the field.
    void exchange(CDataExchange* pDX, int controlId);

private:
    std::string m_waiting;
    std::unique_ptr<LogView> m_view;
};

void DDX_Text(CDataExchange* pDX, int controlId, LogText& value);
