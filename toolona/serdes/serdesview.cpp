#include "serdes/serdesview.h"

#include "widgets/emptystatelabel.h"

#include <QVBoxLayout>

namespace vemo::toolona {

SERDESView::SERDESView(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new EmptyStateLabel(
        tr("The SERDES/PCS channels and their status appear here.\nThe SERDES block has not been read yet."), this));
}

} // namespace vemo::toolona
