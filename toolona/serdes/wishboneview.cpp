#include "serdes/wishboneview.h"

#include "widgets/emptystatelabel.h"

#include <QVBoxLayout>

namespace vemo::toolona {

WishboneView::WishboneView(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new EmptyStateLabel(
        tr("The Wishbone registers of the SERDES block appear here.\nThe SERDES block has not been read yet."), this));
}

} // namespace vemo::toolona
