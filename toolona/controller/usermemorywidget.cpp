#include "controller/usermemorywidget.h"

#include "widgets/hexvaluelineedit.h"

#include "oncdata.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QVBoxLayout>

namespace vemo::toolona {

UserMemoryWidget::UserMemoryWidget(ToolGateway* gateway, QWidget* parent) : MemoryFormWidget(gateway, parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Minimum);
    auto* outer = new QVBoxLayout(this);
    m_group = new QGroupBox(tr("User Memory"), this);
    outer->addWidget(m_group);
    auto* grid = new QGridLayout(m_group);
    MemorySpace space;
    space.canInitialize = true;
    space.stretchingGaps = true;
    space.emptyDumpName = tr("Memory file name cannot be empty.");
    // The engine's dump and load read the memory's geometry from the
    // controller data.
    space.beforeTransfer = [this] {
        ONCData::inst()->setMemWidth(m_data.getMemWidth());
        ONCData::inst()->setMemDepth(m_data.getMemDepth());
    };
    int row = 1;
    addMemoryForm(grid, m_group, row, space);
    hide();
}

void UserMemoryWidget::setData(const UserRegisterData& data) {
    m_data = data;
    if (!m_data.isDefined() || !m_data.isEnabled()) {
        m_group->setTitle(tr("User Memory"));
        hide();
    } else {
        m_group->setTitle(
            QStringLiteral("%1 (%2 ~ %3)").arg(tr("User Memory"), m_data.getStartAddress(), m_data.getEndAddress()));
        show();
        setStartAddress(m_data.getStartAddress());
    }
    // A word is as wide as the memory.
    setDataBits(m_data.getMemWidth() > 0 ? m_data.getMemWidth() : 64);
    defaultDataEdit()->setText(QStringLiteral("0"));
    writeDataEdit()->setText(QStringLiteral("0"));
}

} // namespace vemo::toolona
