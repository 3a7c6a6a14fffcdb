#pragma once

#include "store/results/itemstats.h"

#include <QImage>
#include <QString>

class QTextDocument;
class QWidget;

// The item analysis of one test version as a page: what the analysis window shows,
// prints and saves as PDF.
namespace AnalysisReport {

struct Report
{
    QString test;
    QString version; // as the window names it
    Results::ItemTable table;
    ItemStats::Analysis analysis;
};

// The page as HTML; its picture of the totals over the bands is the resource
// pictureUrl() of the document it goes into (fill() adds both).
QString html(const Report &report);
QString pictureUrl();
QImage bandPicture(const ItemStats::Analysis &analysis);
void fill(QTextDocument *doc, const Report &report);

// As ResultDocument does for a result: false with *error for the user (empty for a
// cancelled print dialog).
bool savePdf(const Report &report, const QString &path, QString *error);
bool print(const Report &report, QWidget *parent, QString *error);

} // namespace AnalysisReport
