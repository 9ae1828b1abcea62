#pragma once
// Local pages handed to the engine in parts.
//
// The engine parses all of a page it has received before it draws. A local
// file arrives at once, so the first screen of a paper of a megabyte or two
// (1,000 to 2,000 questions) often appeared only once the whole page was
// parsed: a second and more, where a short paper shows in a tenth. A local
// page up to PageParts::MaxSize is therefore loaded through a scheme of the
// program's own, which hands the engine the file's first part at once and
// the rest a moment later: the engine draws the first screen as soon as it
// has parsed it. The bytes are the file's; the page's parts (style sheet,
// pictures) come through the same scheme from the same folders under the
// same rules (LocalFileInterceptor); the address the view reports is the
// file's. Every page up to the limit goes this way, short ones too, so that
// moving between papers keeps the engine's page process.

#include <QUrl>
#include <QtGlobal>

class QWebEngineProfile;

namespace PageParts {

// A page up to this size is loaded in parts. A larger one reaches the
// engine in parts anyway (it takes longer to read than to start parsing),
// and the scheme's smaller reads would cost it more layouts while it loads.
constexpr qint64 MaxSize = 4 * 1024 * 1024;
// What the engine gets at once, and how long after that it gets the rest.
constexpr qint64 FirstPart = 64 * 1024;
constexpr int PartIntervalMs = 16;

// Registers the scheme; before the first web engine object is made (the
// application's constructor). Without it pages load as files.
void registerScheme();
// Serves the scheme to the pages of `profile` (once per profile).
void serveOn(QWebEngineProfile *profile);

// Whether `file` (a local file address) is loaded in parts: the scheme is
// registered and the file is a page of at most MaxSize.
bool wanted(const QUrl &file);
bool isPartsUrl(const QUrl &url);
// A local file's address in the scheme, and back; other addresses are
// returned unchanged.
QUrl partsUrl(const QUrl &file);
QUrl fileUrl(const QUrl &url);

} // namespace PageParts
