#pragma once

#include <QObject>
#include <QPixmap>
#include <functional>
#include <map>
#include <string_view>

#include "app/control_model.h"

class QTimer;
class QWidget;

namespace qs {

// Mirrors a Form as Qt widgets on a surface (the window's client area): one widget per
// control, kept in step with its record both ways. User actions go to the model through
// its own operations (SetText, Click, Fire); what they cause is up to the model's handlers.
class FormView : public QObject, public FormObserver {
    Q_OBJECT

public:
    // Paths of one drop, full and in the order the desktop gave them.
    using DropHandler = std::function<void(const TextList&)>;

    FormView(Form& form, QWidget* surface);
    ~FormView() override;

    Form& Model() { return m_form; }
    QWidget* Surface() const { return m_surface; }
    QWidget* WidgetOf(std::string_view name) const;
    QTimer* TimerOf(std::string_view name) const;

    void SetPicture(std::string_view name, const QPixmap& picture);
    // Makes a control accept dropped local files and folders; drops elsewhere do nothing.
    void SetDropHandler(std::string_view name, DropHandler handler);
    // Hands paths to a control's drop handler as a drop would, once the event loop runs.
    void Drop(std::string_view name, const TextList& paths);
    // Runs after every call into the model that this view makes (the dialog watches for its
    // form closing this way).
    void SetAfterDispatch(std::function<void()> after) { m_afterDispatch = std::move(after); }
    void StopTimers();
    // The bar's fill comes from detail (0 to 1, the whole job) instead of position of
    // maximum while the bar has a maximum; redrawn at most every 40 ms.
    void SetProgressDetail(std::string_view name, std::function<double()> detail);
    // A fixed-layout window: its frame keeps the form's size, the user cannot resize it.
    void SetFixedSize(bool fixed);
    // The factor the form is drawn at: 1, or less where the window at its own size would
    // not fit the screen (a high scale on a small screen).
    double Zoom() const { return m_zoom; }

    // How many calls into the model made by any view are on the stack right now. A job runs
    // inside one of them; widgets must not go away while it is above zero.
    static int DispatchDepth();

    void OnChanged(Form& form, const Control* control, ControlProperty property) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Build();
    QWidget* Create(const Control& control);
    void Connect(const Control& control, QWidget* widget);
    void PlaceInParent(const Control& control);
    void Sync(const Control& control, ControlProperty property);
    void SyncAll(const Control& control);
    void SyncTimer(const Control& control);
    void SyncProgress(const Control& control);
    void SyncFormGeometry();
    void ApplyFocus();
    // Width and height of the frame the window system draws around the surface, in the
    // form's units.
    QSize Decorations() const;
    double FitZoom() const;
    int Z(int value) const;
    void FollowDecorations();
    void Dispatch(const std::function<void()>& call);
    void Deliver(DropHandler handler, const TextList& paths);
    const Control* ControlOfWidget(QObject* object) const;

    Form& m_form;
    QWidget* m_surface;
    std::map<Text, QWidget*, std::less<>> m_widgets;
    std::map<Text, QTimer*, std::less<>> m_timers;
    std::map<QObject*, Text> m_names;
    std::map<QObject*, DropHandler> m_dropHandlers;
    std::function<void()> m_afterDispatch;
    Text m_detailedBar;
    std::function<double()> m_progressDetail;
    QTimer* m_progressTimer = nullptr;
    // Set while the view itself writes into a widget, so that the widget's change signals
    // are not taken for user input.
    bool m_syncing = false;
    bool m_fixedSize = false;
    double m_zoom = 1;
};

}  // namespace qs
