#pragma once

#include <QString>
#include <QStringList>

// Cells and rows of the CSV files the program writes.
namespace Csv {

// A cell as CSV: quoted when it holds a comma, a quote or a line break. A cell that a
// spreadsheet would run as a formula (starting with =, +, -, @, a tab or a carriage
// return) gets a leading apostrophe, so that it is shown as the text it is; a plain
// number such as -1.5 stays a number.
QString field(const QString &text);

// The cells as one row ended by CR LF.
QString row(const QStringList &cells);

} // namespace Csv
