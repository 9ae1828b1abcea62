#pragma once
#include "render/HtmlView.h"

#include <QHash>
#include <QPointer>
#include <QWidget>
#include <memory>

// A scripted HtmlView: `checked` answers readChecked (ids not in it have no
// element), and every call is recorded.
class FakeHtmlView : public HtmlView {
public:
  // Like the real view, the fake lives as long as its widget once the widget
  // has a parent (a dialog frees both); without one the owner deletes it.
  explicit FakeHtmlView(QWidget *parent = nullptr) : m_widget(new QWidget(parent)) {
    if (parent)
      m_freeWithWidget = QObject::connect(m_widget, &QObject::destroyed, [this] {
        m_widget.clear(); // already going
        delete this;
      });
  }
  ~FakeHtmlView() override {
    QObject::disconnect(m_freeWithWidget);
    delete m_widget.data();
  }

  QHash<QString, bool> checked;              // id -> checked; missing id: no element
  QStringList navigations;                   // navigate() targets
  QStringList lines;                         // writeln() since the last navigate
  QList<QStringList> readCalls;              // ids of each readChecked call
  QList<QPair<QStringList, QString>> colorCalls; // setColor(ids, color)
  QStringList scripts;
  int reloads = 0, previews = 0;

  // Ids coloured `color` over all calls.
  QStringList colored(const QString &color = QStringLiteral("red")) const {
    QStringList out;
    for (const auto &c : colorCalls)
      if (c.second == color)
        out += c.first;
    return out;
  }

  QWidget *widget() override { return m_widget; }
  void navigate(const QString &target) override {
    navigations << target;
    lines.clear();
  }
  void writeln(const QString &line) override { lines << line; }
  void reload() override { ++reloads; }
  void runScript(const QString &script) override { scripts << script; }
  std::vector<std::optional<bool>> readChecked(const QStringList &ids) override {
    readCalls << ids;
    std::vector<std::optional<bool>> out;
    out.reserve(ids.size());
    for (const QString &id : ids) {
      const auto it = checked.constFind(id);
      out.push_back(it == checked.constEnd() ? std::nullopt : std::optional<bool>(*it));
    }
    return out;
  }
  void setColor(const QStringList &ids, const QString &color) override { colorCalls.append({ids, color}); }
  void printPreview() override { ++previews; }
  bool waitForLoad(int = 15000) override { return true; }

private:
  QPointer<QWidget> m_widget;
  QMetaObject::Connection m_freeWithWidget;
};
