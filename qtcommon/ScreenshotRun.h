#pragma once
// For scripts and the demo: what both programs' screenshot runs share. A run saves windows as PNG
// files, prints their paths and ends the program with the convention's exit status; one that has
// not finished after two minutes ends the program at once, since the program may be waiting for a
// question nobody answers. Each program derives its own steps (tool/qt, monitor/qt).
#include <QObject>
#include <QString>
#include <QStringList>

class QWidget;

namespace jvo::qt {

class ScreenshotRun : public QObject {
public:
    static constexpr int kGiveUpMs = 120000;

    // True once the run has ended the event loop (with its screenshots or without).
    bool Finished() const { return m_Finished; }

protected:
    // `program` begins every message; `giveUp` is printed when the two minutes pass.
    ScreenshotRun(QObject* parent, const char* program, const char* giveUp);

    // The exit status of a run that gives up.
    virtual int GiveUpStatus() const;

    // Saves `w` to `path`; says why on stderr when it cannot.
    bool Save(QWidget* w, const QString& path);
    // Prints the saved paths and ends the event loop: exit 0 when every save worked, else the
    // output status.
    void Finish(bool saved);
    // Says `why` on stderr and ends the event loop with `status`.
    void Fail(int status, const char* why);

private:
    const char* m_Program;
    QStringList m_Saved;
    bool m_Finished = false;
};

}  // namespace jvo::qt
