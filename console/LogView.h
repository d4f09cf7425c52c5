#pragma once

#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <string>
#include <string_view>
#include <vector>

class QPlainTextEdit;

// Keeps the log field in step with the log text. The log only ever grows at its top, one line per
// event, and may reach millions of lines, so lines go into the field's document as insertions at
// the top; the field's whole text is read only when the user has edited it.
class LogView
{
public:
    explicit LogView(QPlainTextEdit* field);
    ~LogView();
    LogView(const LogView&) = delete;
    LogView& operator=(const LogView&) = delete;

    // Whether the user changed the field since the last insertTop(), replaceAll() or markRead().
    [[nodiscard]] bool userEdited() const;

    // Records that the caller has taken in the user's edits.
    void markRead();

    // The field's whole text, every line ended by "\r\n".
    [[nodiscard]] std::string text() const;

    // Puts `lines` (newest first, each ended by "\r\n") above everything in the field and shows
    // the top of the log.
    void insertTop(std::string_view lines);

    // Replaces the field's whole text and shows its top.
    void replaceAll(std::string_view text);

private:
    // Rows counted from the document's last block, which top insertions do not move.
    struct RowsFromEnd
    {
        int low = 0;
        int high = 0;
    };

    void insertAtStart(const QString& text);
    // Whether the vertical scroll bar is shown or hidden by its range.
    [[nodiscard]] bool barFollowsRange() const;
    [[nodiscard]] int shownRows() const;
    [[nodiscard]] int firstShownRow() const;
    void notePaintedRows();
    void dropPaintedLayouts();
    void forgetLayouts(int first, int last);
    void showTop();
    void limitRepaints();
    void repaintNow();

    QPointer<QPlainTextEdit> m_field;
    QMetaObject::Connection m_textChanged;
    QTimer m_frameTimer;
    bool m_writing = false;
    bool m_userEdited = false;
    bool m_repaintsHeld = false;
    std::vector<RowsFromEnd> m_paintedRows;
};
