#include "analyzercore.h"

#include "decoderset.h"
#include "triggeremodel.h"
#include "triggersetting.h"
#include "triggerumodel.h"
#include "waveformmodel.h"

AnalyzerCore::AnalyzerCore(int id, const ProjectFiles::OnlCore& onl)
    : m_id(id), m_name(onl.name), m_kind(onl.kind), m_units(onl.units.size()), m_onl(onl) {
    if (m_kind != LogicAnalyzer)
        return;
    m_run = m_units > 0;
    m_tu = std::make_unique<TriggerUModel>();
    m_te = std::make_unique<TriggerEModel>();
    m_ts = std::make_unique<TriggerSetting>();
    m_wd = std::make_unique<WaveformModel>();
    QHash<QString, QString> enums;
    for (const auto& s : onl.signalList)
        if (!s.enumSet.isEmpty())
            enums.insert(s.name, s.enumSet);
    m_wd->setSignalEnums(enums);
    m_decoders = std::make_unique<DecoderSet>(m_wd.get(), channelNames(onl));
    for (const auto& u : onl.units)
        m_tu->appendUnit(u.name, u.refs, u.width, u.serial, u.op, u.radix, u.value);
    for (const auto& e : onl.expressions)
        m_te->appendExpression(e.name, e.expression, e.enable);
    static_cast<TriggerOptionValues&>(*m_ts) = onl.limits;
    m_ts->updateTriggerPosition();
}

AnalyzerCore::~AnalyzerCore() = default;

QStringList AnalyzerCore::channelNames(const ProjectFiles::OnlCore& onl) {
    QStringList names;
    for (const auto& sig : onl.signalList) {
        if (sig.width == 1)
            names << sig.name;
        else
            for (int b = sig.width - 1; b >= 0; --b)
                names << QStringLiteral("%1[%2]").arg(sig.name).arg(b);
    }
    return names;
}

bool AnalyzerCore::isPOR() const { return m_ts && m_ts->porSupported; }

bool AnalyzerCore::getConnectPOR() const { return m_ts && m_ts->porSupported && m_ts->connectPorOnOpen; }

int AnalyzerCore::getNumError() const { return m_tu ? m_tu->getNumError() + m_te->getNumError() : 0; }
