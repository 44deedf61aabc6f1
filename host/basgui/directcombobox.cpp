#include "basgui/directcombobox.h"

#include <QAbstractItemView>
#include <QTimer>

namespace vemo::basgui {

DirectComboBox::DirectComboBox(QWidget* parent) : QComboBox(parent) {}

bool DirectComboBox::isItemViewEditor() const {
    QWidget* p = parentWidget();
    if (!p)
        return false;
    auto* view = qobject_cast<QAbstractItemView*>(p->parentWidget());
    return view && view->viewport() == p;
}

void DirectComboBox::showEvent(QShowEvent* event) {
    QComboBox::showEvent(event);
    if (m_popupDone || !isItemViewEditor())
        return;
    m_popupDone = true;
    // The view positions and focuses its editor after showing it; open the
    // list once that is done. The timer dies with the box.
    QTimer::singleShot(0, this, [this] {
        if (isVisible())
            showPopup();
    });
}

} // namespace vemo::basgui
