#pragma once
// The style sheet of the generated pages (css/Main.css, linked from pages as
// "main.css") and the preview of it written into the display settings'
// view. The rules are fixed; the six display values are spliced in as stored.

#include <QString>
#include <QStringList>

class HtmlView;
class ProgramDir;
struct TDisplaySettings;

// The 30 rules of the sheet, one line each.
QStringList StyleSheetRules(const TDisplaySettings &s);
// The preview block: "<STYLE TYPE="text/css">", 29 rules, "</STYLE>".
QStringList PreviewStyleLines(const TDisplaySettings &s);

// Writes the sheet from DisplaySettings to dir.styleSheetPath(): GBK, CR LF,
// no byte-order mark. Throws FileError.
void WriteStyleSheet(const ProgramDir &dir);
// Navigates `view` to about:blank and writes the html start tag, <head>, the
// meta lines and the title, one writeln per line.
void WritePreviewHead(const QString &title, HtmlView &view);
// Writes PreviewStyleLines(DisplaySettings) into `view`, one writeln per line.
void WritePreviewStyle(HtmlView &view);
