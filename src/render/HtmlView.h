#pragma once
// What the program needs of an embedded HTML view. Every page the learner
// sees is shown in one. The real one (WebHtmlView) wraps QWebEngineView.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

// A choice sub-question as a page marks it: option inputs with the ids
// "n/0" ... "n/(options-1)", a stem "Tn_n", and the letters of the options
// that make it right ("A" for the first input).
struct ChoiceMark {
  int number = 0;
  int options = 0;
  QString rightLetters;

  QString optionId(int k) const;
  QString stemId() const;
};

class HtmlView {
public:
  virtual ~HtmlView() = default;

  virtual QWidget *widget() = 0;

  // Shows a local file (a path), an address, or "about:blank". Returns at
  // once; the operations below first wait for a pending load to finish.
  virtual void navigate(const QString &target) = 0;
  // Appends one line (and a line break) to the document written since the
  // last navigate("about:blank").
  virtual void writeln(const QString &line) = 0;
  // Reloads the page on display (a rewritten style sheet takes effect).
  virtual void reload() = 0;
  // Runs script in the page and waits for it; throws AppError when the
  // script fails (for instance when the page lacks the function).
  virtual void runScript(const QString &script) = 0;
  // Reads `checked` of the elements with these ids in one call; an id with no
  // element on the page gives nullopt.
  virtual std::vector<std::optional<bool>> readChecked(const QStringList &ids) = 0;
  // Sets style.color of the elements with these ids, in one call.
  virtual void setColor(const QStringList &ids, const QString &color) = 0;
  // Marks a paper in the page: reads `checked` of every option input of
  // `items` and, only when every input and stem is on the page, sets
  // style.color of the stems whose checked inputs do not spell their
  // rightLetters to `color`. Returns the states of the inputs in order
  // (item by item), or nullopt when an element is missing, nothing coloured.
  // This one reads and colours with readChecked and setColor; a view may do
  // it in one call.
  virtual std::optional<std::vector<bool>> markChoices(const std::vector<ChoiceMark> &items, const QString &color);
  // The print preview of the page on display.
  virtual void printPreview() = 0;
  // Waits until no load is pending; false on timeout.
  virtual bool waitForLoad(int timeoutMs = 15000) = 0;
};

// Makes the HTML view of a window, its widget a child of `parent`. The view
// lives as long as its widget: the parent frees both.
using HtmlViewFactory = std::function<std::unique_ptr<HtmlView>(QWidget *parent)>;
