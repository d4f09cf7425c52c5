#include "console/LogView.h"

#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <utility>

namespace
{
// Rows painted and since scrolled out of view, kept laid out until this many are waiting.
constexpr int kForgetRows = 1000;
// One repaint per screen refresh is all the eye can take in.
constexpr int kFrameMilliseconds = 16;

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void appendUtf8(std::string& out, QStringView text)
{
    const QByteArray utf8 = text.toUtf8();
    out.append(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}
} // namespace

LogView::LogView(QPlainTextEdit* field) : m_field(field)
{
    // The undo stack would keep every line ever added, and a document that can undo never gives
    // back the text it removed.
    field->setUndoRedoEnabled(false);
    m_textChanged = QObject::connect(field, &QPlainTextEdit::textChanged, field,
                                     [this]
                                     {
                                         if (!m_writing)
                                         {
                                             m_userEdited = true;
                                         }
                                     });
    m_frameTimer.setSingleShot(true);
    m_frameTimer.setInterval(kFrameMilliseconds);
    QObject::connect(&m_frameTimer, &QTimer::timeout, &m_frameTimer, [this] { repaintNow(); });
}

LogView::~LogView()
{
    QObject::disconnect(m_textChanged);
    repaintNow();
}

bool LogView::userEdited() const
{
    return m_userEdited;
}

void LogView::markRead()
{
    m_userEdited = false;
}

std::string LogView::text() const
{
    if (!m_field)
    {
        return {};
    }
    const QTextDocument* document = m_field->document();
    const QString raw = document->toRawText();
    std::string out;
    out.reserve(static_cast<std::size_t>(raw.size() + document->blockCount()));
    qsizetype start = 0;
    for (;;)
    {
        const qsizetype end = raw.indexOf(QChar::ParagraphSeparator, start);
        const QStringView line = QStringView(raw).mid(start, (end < 0 ? raw.size() : end) - start);
        // The document's last block has no separator after it: it is the empty line after the
        // last line break, or a line the user typed there.
        if (end >= 0 || !line.isEmpty())
        {
            appendUtf8(out, line);
            out.append("\r\n");
        }
        if (end < 0)
        {
            return out;
        }
        start = end + 1;
    }
}

void LogView::insertTop(std::string_view lines)
{
    if (!m_field)
    {
        return;
    }
    m_userEdited = false;
    if (!lines.empty())
    {
        QString text = fromUtf8(lines);
        // A line without its line end would run into the line below it.
        if (!text.endsWith(u'\n') && !text.endsWith(u'\r'))
        {
            text += u'\n';
        }
        insertAtStart(text);
    }
    showTop();
}

void LogView::replaceAll(std::string_view text)
{
    if (!m_field)
    {
        return;
    }
    {
        const QScopedValueRollback<bool> writing(m_writing, true);
        m_field->document()->setPlainText(fromUtf8(text));
    }
    m_userEdited = false;
    m_paintedRows.clear();
    showTop();
}

void LogView::insertAtStart(const QString& text)
{
    QTextDocument* document = m_field->document();
    {
        const QScopedValueRollback<bool> writing(m_writing, true);
        // QAbstractScrollArea answers every change of a scroll bar's range with a queued call,
        // and each line grows the range. Lines written without a return to the event loop (a
        // burst of posted lines is handled in one round) would each leave such a call waiting,
        // with its memory, until the last one is in. The call only shows or hides a bar that
        // follows its range.
        const QSignalBlocker rangeChanges(barFollowsRange() ? nullptr
                                                            : m_field->verticalScrollBar());
        QTextCursor cursor(document);
        // Outside an edit block the cursor lays out the line it ends up in, and that layout stays
        // with the line for good.
        cursor.beginEditBlock();
        cursor.insertText(text);
        cursor.endEditBlock();
    }
    dropPaintedLayouts();
    limitRepaints();
}

bool LogView::barFollowsRange() const
{
    const QScrollBar* bar = m_field->verticalScrollBar();
    return m_field->verticalScrollBarPolicy() == Qt::ScrollBarAsNeeded ||
           bar->style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, bar) != 0;
}

int LogView::shownRows() const
{
    const int lineSpacing = std::max(1, m_field->fontMetrics().lineSpacing());
    return m_field->viewport()->height() / lineSpacing + 2;
}

// Without line wrap a row is a line of the field, and the vertical scroll counts lines.
int LogView::firstShownRow() const
{
    return m_field->verticalScrollBar()->value();
}

// A painted line keeps its layout (its shaped glyphs) until its block changes, and with lines
// coming in, the lines painted are soon scrolled away for good. The rows painted are noted here
// and later have their block format merged with nothing, a change that drops their layouts and
// leaves their text where it is. (Taking the text out and putting it back would leave the old text
// in the document until it compacts itself, which copies the whole log at once.)
void LogView::notePaintedRows()
{
    const int lastRow = m_field->document()->blockCount() - 1;
    const int first = firstShownRow();
    const RowsFromEnd painted{std::max(0, lastRow - (first + shownRows() - 1)), lastRow - first};
    if (!m_paintedRows.empty() && painted.low <= m_paintedRows.back().high + 1)
    {
        m_paintedRows.back().low = std::min(m_paintedRows.back().low, painted.low);
        m_paintedRows.back().high = std::max(m_paintedRows.back().high, painted.high);
        return;
    }
    m_paintedRows.push_back(painted);
}

void LogView::dropPaintedLayouts()
{
    if (m_paintedRows.empty())
    {
        return;
    }
    const int lastRow = m_field->document()->blockCount() - 1;
    const int firstHidden = firstShownRow() + shownRows();
    int waiting = 0;
    for (const RowsFromEnd& rows : m_paintedRows)
    {
        if (lastRow - rows.high >= firstHidden)
        {
            waiting += rows.high - rows.low + 1;
        }
    }
    if (waiting < kForgetRows)
    {
        return;
    }
    std::vector<RowsFromEnd> stillShown;
    for (const RowsFromEnd& rows : m_paintedRows)
    {
        const int first = lastRow - rows.high;
        if (first < firstHidden)
        {
            stillShown.push_back(rows);
            continue;
        }
        forgetLayouts(first, lastRow - rows.low);
    }
    m_paintedRows = std::move(stillShown);
}

void LogView::forgetLayouts(int first, int last)
{
    QTextDocument* document = m_field->document();
    // A change to one block has the document lay it out again at once; a change to several waits
    // until they are painted.
    last = std::min(std::max(last, first + 1), document->blockCount() - 1);
    if (last <= first)
    {
        return;
    }
    QTextCursor cursor(document->findBlockByNumber(first));
    cursor.setPosition(document->findBlockByNumber(last).position(), QTextCursor::KeepAnchor);
    const QScopedValueRollback<bool> writing(m_writing, true);
    cursor.mergeBlockFormat(QTextBlockFormat());
}

void LogView::showTop()
{
    m_field->verticalScrollBar()->setValue(0);
}

// Every insertion at the top moves every shown row, so each one asks for a repaint of the whole
// field; when lines come faster than the screen refreshes, most of those repaints are wasted. The
// field is repainted once a frame while lines come in.
void LogView::limitRepaints()
{
    if (m_repaintsHeld)
    {
        return;
    }
    m_repaintsHeld = true;
    m_field->setUpdatesEnabled(false);
    m_frameTimer.start();
}

void LogView::repaintNow()
{
    if (!m_repaintsHeld || !m_field)
    {
        return;
    }
    m_repaintsHeld = false;
    m_field->setUpdatesEnabled(true);
    m_field->repaint();
    notePaintedRows();
}
