#pragma once

#include "framework/CWnd.h"
#include "framework/DialogTemplate.h"
#include "framework/DialogUnits.h"
#include "framework/WinTypes.h"

#include <QDialog>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class CDataExchange;
struct PostedMessage;
class PostedMessageQueue;
class QPainter;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// A dialog window built from a template. Button clicks reach OnCommand with the button's id,
// posted messages reach WindowProc on the window's thread, and UpdateData moves values between
// the controls and the dialog's bound values through DoDataExchange.
class CDialog : public QDialog
{
public:
    explicit CDialog(const DialogTemplate& dialogTemplate, QWidget* parent = nullptr);
    ~CDialog() override;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Creates the window and its controls and runs OnInitDialog; false when it cannot. Does
    // nothing when the window exists already.
    bool Create();
    // Creates the window, runs it modally and destroys it. Returns IDOK or IDCANCEL.
    int DoModal();
    // Ends the modal run with a result.
    void EndDialog(int result);
    // Destroys the window: posts to it fail from now on, and what was still waiting is handed to
    // OnUndeliveredMessage.
    void DestroyWindow();

    // Reads all controls into the bound values (true) or writes the values into the controls.
    // A read that finds number fields it cannot take tells the user about the first of them, puts
    // the focus on it and returns false; every other field has been read.
    bool UpdateData(bool saveAndValidate = true);
    // Whether the latest read took in the field: false when it held no number the read could take.
    [[nodiscard]] bool FieldWasRead(int controlId) const;

    [[nodiscard]] CWnd GetDlgItem(int controlId) const;
    [[nodiscard]] HWND GetSafeHwnd() const { return m_hWnd; }
    [[nodiscard]] bool IsIconic() const { return isMinimized(); }
    [[nodiscard]] const DialogUnits& dialogUnits() const { return *m_units; }
    // Moves and sizes the window's outer frame.
    void MoveWindow(int x, int y, int width, int height);

    // The dialog's painter while it handles a paint event, else nothing (and a repaint is
    // scheduled, so the paint handler runs again in a paint event).
    QPainter* BeginPaint();

protected:
    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // A posted message that the window was destroyed before it could take.
    virtual void OnUndeliveredMessage(const PostedMessage& message);
    // Posted messages are taken in rounds; this follows each round with how many it took.
    virtual void OnPostedRoundEnd(std::size_t taken);
    virtual void OnCommand(int controlId);
    virtual void OnOK();
    virtual void OnCancel();
    virtual void OnPaint();

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;

private:
    void createControls();
    QWidget* createControl(const ControlTemplate& control);
    void deliverPostedMessages();
    void showFailedField(int controlId);

    const DialogTemplate& m_template;
    std::optional<DialogUnits> m_units;
    std::map<int, QWidget*> m_controls;
    std::vector<int> m_unreadFields;
    std::vector<QWidget*> m_frames;
    std::shared_ptr<PostedMessageQueue> m_queue;
    HWND m_hWnd = 0;
    QPainter* m_painter = nullptr;
};
