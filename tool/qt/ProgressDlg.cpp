// The progress window.
#include "tool/qt/ProgressDlg.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QProgressBar>
#include <QVBoxLayout>

#include "tool/qt/ToolForm.h"

namespace jvo::tool::qt {

ProgressDlg::ProgressDlg(const QString& caption, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      m_Box(new QGroupBox(caption, this)),
      m_Bar(new QProgressBar(m_Box)) {
    setObjectName(QStringLiteral("ProgressDlg"));
    setWindowModality(Qt::ApplicationModal);
    m_Bar->setRange(0, 100);
    m_Bar->setValue(0);
    m_Bar->setTextVisible(false);
    auto* inner = new QVBoxLayout(m_Box);
    inner->addWidget(m_Bar);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(m_Box);
    const DialogUnits du(font());
    setFixedSize(du.X(216), du.Y(54));
    if (parent) {
        const QPoint centre = parent->geometry().center();
        move(centre - QPoint(width() / 2, height() / 2));
    }
}

void ProgressDlg::SetCaption(const QString& caption) {
    m_Box->setTitle(caption);
}
void ProgressDlg::SetRange(int upper) {
    m_Bar->setRange(0, std::max(upper, 0));
}
void ProgressDlg::SetPos(int pos) {
    m_Bar->setValue(pos);
}
QString ProgressDlg::Caption() const {
    return m_Box->title();
}
int ProgressDlg::Pos() const {
    return m_Bar->value();
}

void ProgressDlg::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) return;
    QDialog::keyPressEvent(e);
}

}  // namespace jvo::tool::qt
