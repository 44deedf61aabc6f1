#include "pcsdata.h"

#include "pcsjtag.h"

PCSData* PCSData::inst() {
    static PCSData* data = new PCSData; // lives as long as the process, like OnaData
    return data;
}

PCSData::PCSData() : m_jtag(new PCSJTAG(this)) {}

PCSData::~PCSData() = default;

bool PCSData::initSERDES() {
    if (m_jtag->getSERDES().isEmpty()) {
        m_runErr = QStringLiteral("ERROR: the project has no SERDES block to initialise.");
        return false;
    }
    // Reading the block's registers comes with the SERDES device model; a
    // description without it cannot be initialised.
    m_runErr = QStringLiteral("ERROR: SERDES access is not available in this engine.");
    return false;
}
