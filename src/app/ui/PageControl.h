#pragma once
// A page control for windows with many pages (one per chapter: a bank of
// 100,000 questions has about a thousand), shared by the favourites, redo
// and statistics windows: the page names in a list on the left, the current
// page beside it. A tab strip costs a few hundred microseconds per tab to
// build, a list row nothing worth measuring. A page may be added without its
// widget; the owner makes the widget when the page is first shown
// (currentChanged) and hands it over with setWidget.
// The calls are those of QTabWidget that the windows use.

#include <QStringList>
#include <QWidget>
#include <vector>

class QListView;
class QStackedWidget;
class QStringListModel;

class TPageControl : public QWidget {
  Q_OBJECT
public:
  explicit TPageControl(QWidget *parent = nullptr);

  // Appends a page; `page` may be null (made later). Returns its index.
  int addTab(QWidget *page, const QString &text);
  // Appends pages whose widgets are made later.
  void addTabs(const QStringList &texts);
  // Gives page `index` its widget (owned by the control from then on).
  void setWidget(int index, QWidget *page);
  // Removes page `index`; its widget is not deleted (as QTabWidget).
  void removeTab(int index);

  int count() const { return int(m_pages.size()); }
  int currentIndex() const { return m_current; }
  void setCurrentIndex(int index);
  QString tabText(int index) const;
  // The widget of page `index`; null when it is not made yet.
  QWidget *widget(int index) const;
  QWidget *currentWidget() const { return widget(m_current); }
  QListView *pageList() const { return m_list; }

signals:
  void currentChanged(int index);

private:
  void showCurrent();

  QListView *m_list;
  QStringListModel *m_names;
  QStackedWidget *m_stack;
  QWidget *m_blank; // shown while a page has no widget
  std::vector<QWidget *> m_pages;
  int m_current = -1;
};
