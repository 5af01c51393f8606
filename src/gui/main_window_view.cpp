#include "gui/main_window_view.h"

#include <algorithm>

#include <QFrame>
#include <QLinearGradient>
#include <QPainter>
#include <QWidget>

#include "gui/form_view.h"
#include "gui/pictures.h"
#include "text/text.h"

namespace qs {
namespace {

QPixmap HeaderBackground(int width, int height) {
    QPixmap pixmap = ScreenPixmap(width, height);
    QPainter painter(&pixmap);
    QLinearGradient shade(0, 0, 0, height);
    shade.setColorAt(0, QColor(255, 255, 255));
    shade.setColorAt(1, QColor(222, 232, 246));
    painter.fillRect(pixmap.rect(), shade);
    return pixmap;
}

}  // namespace

void DecorateMainWindow(FormView& view) {
    if (QWidget* header = view.WidgetOf(U("图片框1"))) {
        view.SetPicture(U("图片框1"), HeaderBackground(header->width(), header->height()));
    }
    if (QWidget* logo = view.WidgetOf(U("图片Qirn软件"))) {
        view.SetPicture(U("图片Qirn软件"), DrawLogo(logo->width(), logo->height()));
    }
    if (QWidget* save = view.WidgetOf(U("图片保存配置"))) {
        view.SetPicture(U("图片保存配置"), DrawSaveIcon(std::min(save->width(), save->height())));
    }
    if (QWidget* home = view.WidgetOf(U("图片软件主页"))) {
        view.SetPicture(U("图片软件主页"), DrawHomeIcon(std::min(home->width(), home->height())));
    }
    // The rule under the header is an empty label two pixels high.
    if (auto* rule = qobject_cast<QFrame*>(view.WidgetOf(U("标签10")))) {
        rule->setFrameShape(QFrame::HLine);
        rule->setFrameShadow(QFrame::Sunken);
    }
}

}  // namespace qs
