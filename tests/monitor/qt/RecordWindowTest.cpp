// File > Record... on the real main window against the simulated unit: the dialog (its Browse
// offers the last settings again), the rows in jvoctl record's format while the mark shows in the
// status line (screenshots in a light and a dark palette), and Stop Recording.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QStyleFactory>
#include <fstream>
#include <sstream>

#include "monitor/ReadingsRecord.h"
#include "monitor/qt/RecordDlg.h"
#include "tests/monitor/qt/WindowFixture.h"

namespace jvo::test {
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST_F(WindowTest, RecordFromTheWindow) {
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setPalette(QApplication::style()->standardPalette());
    monitor::ConnectChoice c;
    c.m_UseProxy = true;
    c.m_Server = ProxyAddress();
    app = std::make_unique<monitor::MonitorApp>(false);
    dlg = std::make_unique<monitor::qt::MonitorDlg>(*app, "/tmp/jvo-monitor-test.log");
    dlg->PresetConnect(c);
    QObject::connect(dlg.get(), &monitor::qt::MonitorDlg::ConnectFinished,
                     [this](bool ok) { connected = ok; });
    dlg->show();
    dlg->Start();
    ASSERT_TRUE(Connected());
    ASSERT_TRUE(NextCycle());

    dlg->Action("record")->trigger();
    monitor::qt::RecordDlg* r = nullptr;
    ASSERT_TRUE(Pump([&] { return (r = Visible<monitor::qt::RecordDlg>()) != nullptr; }));
    const std::string path = files.Path() + "/rec.csv";
    r->Path()->setText(QString::fromStdString(path));
    r->Interval()->setValue(1);
    EXPECT_EQ(r->Split()->count(), 3);  // one file, a file per hour, a file per day
    QApplication::processEvents();
    r->grab().save(ShotDir() + "/monitor-record-dialog.png", "PNG");
    r->accept();
    ASSERT_TRUE(Pump([&] { return dlg->Record().Intervals() >= 2; }));
    EXPECT_TRUE(dlg->RecordMark()->isVisible());
    EXPECT_TRUE(dlg->RecordMark()->text().contains("REC rec.csv every 1 s"));
    EXPECT_EQ(dlg->Action("record")->text(), "Stop &Recording");
    QApplication::processEvents();
    dlg->grab().save(ShotDir() + "/monitor-recording.png", "PNG");
    dlg->setPalette(DarkPalette());
    QApplication::processEvents();
    dlg->statusBar()->grab().save(ShotDir() + "/monitor-recording-dark.png", "PNG");
    dlg->setPalette(QApplication::palette());

    dlg->Action("record")->trigger();  // Stop Recording
    EXPECT_FALSE(dlg->Record().Running());
    EXPECT_FALSE(dlg->RecordMark()->isVisible());
    const std::string text = ReadAll(path);
    ASSERT_EQ(text.rfind(kRecordHeader, 0), 0u);
    const std::string row = text.substr(std::string(kRecordHeader).size());
    EXPECT_NE(row.find("Z,A,main,0,"), std::string::npos) << row.substr(0, 80);
    // Whole intervals of both panels' rows, as jvoctl writes them.
    const std::string rows = RecordRows(Config(), dlg->Session().Readings().Snapshot(), "T");
    EXPECT_EQ(std::count(row.begin(), row.end(), '\n') % std::count(rows.begin(), rows.end(), '\n'),
              0);

    // The dialog offers the last settings again.
    dlg->Action("record")->trigger();
    ASSERT_TRUE(Pump([&] { return (r = Visible<monitor::qt::RecordDlg>()) != nullptr; }));
    EXPECT_EQ(r->Path()->text().toStdString(), path);  // the last settings again
    r->reject();
    dlg->ExitNow();
}

}  // namespace
}  // namespace jvo::test
