#pragma once
// The read-only alarm configuration views of one breaker ("Breaker Alarm Configuration") or one
// subfeed ("Subfeed Configuration"), opened by a double-click on a list row. The fields come from
// the core (ConfigViews.h); "OK" in the breaker view checks the ranges there and stays open on a
// value out of range. Escape closes either view.
#include <QDialog>
#include <map>
#include <vector>

#include "config/UnitConfig.h"
#include "monitor/ConfigViews.h"

class QLineEdit;

namespace jvo::monitor::qt {

// One line of a view: its label, the fields on it and the unit after them.
struct ViewRow {
    const char* label;
    std::vector<int> ids;
    const char* unit;
};

class ConfigViewDlg : public QDialog {
    Q_OBJECT
public:
    QLineEdit* Field(int id) const;

protected:
    ConfigViewDlg(const QString& title, const QString& group, const std::vector<ViewRow>& rows,
                  const std::vector<ViewField>& fields, QWidget* parent);
    std::vector<ViewField> ReadBack() const;

private:
    std::map<int, QLineEdit*> m_Fields;
    std::vector<int> m_Order;
};

class BreakerConfigDlg final : public ConfigViewDlg {
    Q_OBJECT
public:
    BreakerConfigDlg(const UnitConfig& config, int panel, int row, QWidget* parent);
    void accept() override;
};

class SubfeedConfigDlg final : public ConfigViewDlg {
    Q_OBJECT
public:
    SubfeedConfigDlg(const UnitConfig& config, int panel, int row, QWidget* parent);
};

}  // namespace jvo::monitor::qt
