// "Results": the runs of the results database with filters, the yield by day and station, and the
// first sidelobe and integrator of one channel across runs with the mask limit, so that drift
// shows before the line fails.
#pragma once

#include <QWidget>
#include <memory>

#include "results_store.h"

class QChart;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableWidget;

namespace kestview::results {

class ResultsFrm : public QWidget {
    Q_OBJECT

public:
    // `databaseText`: --results-db, empty for the configured database.
    explicit ResultsFrm(const QString& databaseText, QWidget* parent = nullptr);
    ~ResultsFrm() override;

    // Reads the database again with the filters.
    void refresh();
    // Draws the charts for the channel (1 to 14).
    void showChannel(int channel);

    QChart* sidelobeChart() const { return sidelobe_; }
    QChart* integratorChart() const { return integrator_; }
    QString errorText() const;

private:
    RunFilter filter() const;
    void fillRuns(const std::vector<RunSummary>& runs);
    void fillYield(const YieldReport& report);

    QString databaseText_;
    std::unique_ptr<ResultsStore> store_;
    QLineEdit *mac_ = nullptr, *station_ = nullptr, *from_ = nullptr, *to_ = nullptr;
    QComboBox *result_ = nullptr, *channel_ = nullptr;
    QLabel *database_ = nullptr, *status_ = nullptr, *reasons_ = nullptr;
    QTableWidget *runs_ = nullptr, *yield_ = nullptr;
    QChart *sidelobe_ = nullptr, *integrator_ = nullptr;
};

}  // namespace kestview::results
