#pragma once
// The progress window: no title bar, centred over the main window, application-modal while it is
// shown (nothing else can be used while a workflow runs) but modeless (the workflow goes on). A
// group box whose caption is the progress text, with the bar inside; 216 x 54 dialog units.
#include <QDialog>

class QGroupBox;
class QProgressBar;

namespace jvo::tool::qt {

class ProgressDlg final : public QDialog {
    Q_OBJECT
public:
    ProgressDlg(const QString& caption, QWidget* parent);
    void SetCaption(const QString& caption);
    void SetRange(int upper);
    void SetPos(int pos);
    QString Caption() const;
    int Pos() const;

protected:
    void keyPressEvent(QKeyEvent* e) override;  // Escape does not close it

private:
    QGroupBox* m_Box;
    QProgressBar* m_Bar;
};

}  // namespace jvo::tool::qt
