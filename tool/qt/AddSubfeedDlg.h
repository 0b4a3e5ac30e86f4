#pragma once
// The "Add Subfeed" dialog: 16 candidate radio buttons, enabled by the caller's mask, and three
// sizes. The captions are the core's (AddSubfeedCaptions); the dialog only shows them.
#include <QDialog>
#include <QStringList>
#include <cstdint>

class QButtonGroup;

namespace jvo::tool::qt {

struct SubfeedDlgTexts {
    QString title, selectGroup, sizeGroup, ok, cancel;
    QStringList candidates;  // 16
    QStringList sizes;       // 3
};

class AddSubfeedDlg final : public QDialog {
    Q_OBJECT
public:
    AddSubfeedDlg(const SubfeedDlgTexts& texts, uint16_t enableMask, int candidate, int size,
                  QWidget* parent);
    int Candidate() const;
    int Size() const;

private:
    QButtonGroup* m_Candidates;
    QButtonGroup* m_Sizes;
};

}  // namespace jvo::tool::qt
