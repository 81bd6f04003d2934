#pragma once
// The thin document/view layer the window is built on. One document, several views; views
// register with the document and rebuild from it when it calls OnUpdate. Commands travel the
// way the design routes them: the active view, then the document, then the frame, then the
// application. Nothing here paints: a view is a mixin beside the Qt widget that shows it.
#include <optional>
#include <vector>

class QWidget;

namespace vireo::views {

class CView;

// What a command target says about a command id: nullopt when it has no handler for it.
class CCmdTarget {
 public:
  virtual ~CCmdTarget() = default;
  // Runs the command; false when this target has no handler for it (routing goes on).
  virtual bool OnCmdMsg(int /*commandId*/) { return false; }
  // Whether the command is enabled; nullopt when this target does not decide it.
  virtual std::optional<bool> OnUpdateCmdUI(int /*commandId*/) { return std::nullopt; }
  // Whether the command shows a check mark; nullopt when this target does not decide it.
  virtual std::optional<bool> OnUpdateCmdChecked(int /*commandId*/) { return std::nullopt; }
};

class CDocument : public CCmdTarget {
 public:
  CDocument() = default;
  ~CDocument() override;
  CDocument(const CDocument&) = delete;
  CDocument& operator=(const CDocument&) = delete;

  void AddView(CView* view);
  void RemoveView(CView* view);
  const std::vector<CView*>& views() const { return views_; }

  // OnUpdate(sender, hint) on every registered view but sender. Hint 0 refreshes everything;
  // the bit of value 2 the list, the bit of value 4 the preview.
  void UpdateAllViews(CView* sender, int hint);

 private:
  std::vector<CView*> views_;
};

class CView : public CCmdTarget {
 public:
  CView() = default;
  ~CView() override;  // leaves its document
  CView(const CView&) = delete;
  CView& operator=(const CView&) = delete;

  // Registers with the document (the frame does this when it creates the view).
  void attachDocument(CDocument* document);
  CDocument* GetDocument() const { return document_; }

  // Once, after the frame has created every view.
  virtual void OnInitialUpdate() { OnUpdate(nullptr, 0); }
  virtual void OnUpdate(CView* sender, int hint) = 0;
  // The frame calls this when the pane holding this view gains (activate true) or loses the
  // focus; activateView and deactiveView are the views involved, either may be null.
  virtual void OnActivateView(bool /*activate*/, CView* /*activateView*/, CView* /*deactiveView*/) {}

  // The widget that shows this view.
  virtual QWidget* widget() = 0;

 private:
  CDocument* document_ = nullptr;
};

}  // namespace vireo::views
