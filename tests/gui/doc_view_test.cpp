// The document/view layer: who is told of an update, and what a view leaving does.
#include <QtTest>

#include "views/doc_view.h"

namespace vireo::views {
namespace {

struct CountingView : CView {
  int updates = 0;
  int lastHint = -1;
  void OnUpdate(CView*, int hint) override {
    ++updates;
    lastHint = hint;
  }
  QWidget* widget() override { return nullptr; }
};

}  // namespace

class DocViewTest : public QObject {
  Q_OBJECT

 private slots:
  void updateReachesEveryViewButTheSender() {
    CDocument doc;
    CountingView a, b, c;
    for (CountingView* v : {&a, &b, &c}) v->attachDocument(&doc);
    doc.UpdateAllViews(&b, 4);
    QCOMPARE(a.updates, 1);
    QCOMPARE(b.updates, 0);
    QCOMPARE(c.updates, 1);
    QCOMPARE(c.lastHint, 4);
    doc.UpdateAllViews(nullptr, 0);
    QCOMPARE(b.updates, 1);
  }

  void viewsLeaveTheirDocumentEitherWay() {
    CountingView outlived;
    {
      CDocument doc;
      outlived.attachDocument(&doc);
      {
        CountingView gone;
        gone.attachDocument(&doc);
        QCOMPARE(doc.views().size(), size_t{2});
      }
      QCOMPARE(doc.views().size(), size_t{1});
    }
    QVERIFY(outlived.GetDocument() == nullptr);
  }
};

}  // namespace vireo::views

QTEST_GUILESS_MAIN(vireo::views::DocViewTest)
#include "doc_view_test.moc"
