// The results store's answers as text: tables that fit an 80-column terminal, CSV and JSON.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "results_store.h"

namespace kestview::results {

inline constexpr int kTerminalColumns = 80;

// "83.3%", or "-" when there is nothing to divide by.
QString percent(long part, long whole);
// The first `width` characters of the text, the last of them "~" when it was cut.
QString fitted(const QString& text, int width);

QString listText(const std::vector<RunSummary>& runs);
QString showText(const RunRecord& run);
QString yieldText(const YieldReport& report);
// One line per result row with the run's fields in front, a header line first.
QByteArray exportCsv(const std::vector<RunRecord>& runs);
// A JSON array of the runs' records.
QByteArray exportJson(const std::vector<RunRecord>& runs);

}  // namespace kestview::results
