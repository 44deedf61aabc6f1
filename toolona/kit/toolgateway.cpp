#include "kit/toolgateway.h"

#include <QObject>

namespace vemo::toolona {

bool sendCommand(ToolGateway* gateway, const QString& cmd) {
    if (!gateway)
        return false;
    QString result;
    if (gateway->tclEval(cmd, &result))
        return true;
    gateway->reportRefusal(result.isEmpty() ? QObject::tr("The engine refused: %1").arg(cmd) : result);
    return false;
}

} // namespace vemo::toolona
