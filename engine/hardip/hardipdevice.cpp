#include "hardipdevice.h"

using HardIpBlocks::initialValues;
using HardIpBlocks::laneCount;

HardIpSet::HardIpSet(const QList<HardIpData>& records, TargetDevice& target) {
    for (const HardIpData& d : records) {
        auto inst = std::make_shared<HardIpInstance>();
        inst->data = d;
        inst->block = HardIpBlocks::forInstance(d.type, d.name);
        inst->staged = QVector<HardIpValues>(laneCount(inst->block), initialValues(inst->block));
        inst->device = target.openHardIp(d, inst->block, &inst->fault);
        // What the engine shows before the first read: the block as it came up.
        inst->readBack.resize(inst->lanes());
        if (inst->block && inst->device)
            for (int lane = 0; lane < inst->lanes(); ++lane)
                for (const HardIpKey& k : inst->block->keys)
                    inst->readBack[lane].insert(k.name, inst->device->read(k, lane));
        m_list.append(inst);
    }
}

HardIpInstance* HardIpSet::instance(const QString& name) {
    for (const auto& i : m_list)
        if (i->data.name == name)
            return i.get();
    return nullptr;
}

const HardIpInstance* HardIpSet::instance(const QString& name) const {
    return const_cast<HardIpSet*>(this)->instance(name);
}

QString HardIpSet::deviceFault() const {
    for (const auto& i : m_list)
        if (!i->device)
            return i->fault;
    return QString();
}

HardIpInstance* HardIpSet::instanceAt(quint64 address) {
    for (const auto& i : m_list)
        if (address >= i->data.start && address <= i->data.end)
            return i.get();
    return nullptr;
}

bool HardIpSet::find(const QString& name, const QString& key, Target* t, QString* error) {
    HardIpInstance* inst = instance(name);
    *t = Target{inst};
    if (!inst) {
        *error = QStringLiteral("no hard IP instance named \"%1\" in the current core").arg(name);
        return false;
    }
    if (!inst->device) {
        *error = QStringLiteral("\"%1\": %2").arg(name, inst->fault);
        return false;
    }
    if (key.isEmpty())
        return true;
    t->key = inst->block ? inst->block->key(key) : nullptr;
    if (!t->key) {
        *error = QStringLiteral("\"%1\" (type %2) has no key -%3").arg(name, inst->data.type, key);
        return false;
    }
    if (t->key->perLane) {
        if (m_lane < 0 || m_lane >= inst->lanes()) {
            *error = QStringLiteral("lane %1 is not a lane of \"%2\" (0 to %3)")
                         .arg(m_lane)
                         .arg(name)
                         .arg(inst->lanes() - 1);
            return false;
        }
        t->lane = m_lane;
    }
    return true;
}

bool HardIpSet::stage(const QString& name, const QString& key, const QString& value, QString* stored, bool* empty,
                      QString* error) {
    *empty = false;
    if (key.isEmpty()) {
        *error = QStringLiteral("a key option is required (-KEY VALUE)");
        return false;
    }
    Target t;
    if (!find(name, key, &t, error) || !HardIpBlocks::check(*t.key, value, stored, error))
        return false;
    HardIpInstance* inst = t.inst;
    const int lane = t.lane;
    if (inst->block->kind == QLatin1String("pcs") &&
        (key == QLatin1String("tx_postcursor_ratio") || key == QLatin1String("tx_precursor_ratio"))) {
        const QString other = key == QLatin1String("tx_postcursor_ratio") ? QStringLiteral("tx_precursor_ratio")
                                                                          : QStringLiteral("tx_postcursor_ratio");
        if (stored->toInt() + inst->staged[lane].value(other).toInt() > HardIpBlocks::kMaxCursorSum) {
            *empty = true;
            error->clear();
            return false;
        }
    }
    inst->staged[lane].insert(key, *stored);
    return true;
}

bool HardIpSet::write(const QString& name, const QString& key, QString* error) {
    Target t;
    if (!find(name, key, &t, error))
        return false;
    HardIpInstance* inst = t.inst;
    if (const HardIpKey* k = t.key) {
        if (k->kind == HardIpKey::Status) {
            *error = QStringLiteral("-%1 is a status the device reports; it cannot be written").arg(key);
            return false;
        }
        inst->device->write(*k, t.lane, inst->staged[t.lane].value(key));
        return true;
    }
    if (inst->block)
        for (int l = 0; l < inst->lanes(); ++l)
            for (const HardIpKey& each : inst->block->keys)
                if (each.kind != HardIpKey::Status)
                    inst->device->write(each, l, inst->staged[l].value(each.name));
    return true;
}

bool HardIpSet::read(const QString& name, const QString& key, QString* error) {
    Target t;
    if (!find(name, key, &t, error))
        return false;
    HardIpInstance* inst = t.inst;
    const HardIpKey* k = t.key;
    const int lane = t.lane;
    // What was read is staged as well: the page shows it, so Apply writes
    // what the user sees, not a change made before the reload.
    const auto take = [inst](const HardIpKey& each, int l) {
        const QString v = inst->device->read(each, l);
        inst->readBack[l].insert(each.name, v);
        if (each.kind != HardIpKey::Status)
            inst->staged[l].insert(each.name, v);
    };
    if (k) {
        take(*k, lane);
        return true;
    }
    if (inst->block)
        for (int l = 0; l < inst->lanes(); ++l)
            for (const HardIpKey& each : inst->block->keys)
                take(each, l);
    return true;
}

QString HardIpSet::value(const QString& name, const QString& key) const {
    const HardIpInstance* inst = instance(name);
    if (!inst || !inst->block || !inst->block->key(key))
        return QString();
    const int lane = inst->block->key(key)->perLane ? m_lane : 0;
    return lane >= 0 && lane < inst->lanes() ? inst->readBack.at(lane).value(key) : QString();
}

bool HardIpSet::ibert(const QString& name, IbertAction action, QString* error) {
    Target t;
    if (!find(name, QStringLiteral("rx_prbs_errcount"), &t, error))
        return false;
    HardIpInstance* inst = t.inst;
    const HardIpKey* k = t.key;
    const int lane = t.lane;
    HardIpDevice& dev = *inst->device;
    switch (action) {
        case Restart:
            for (const char* key : {"tx_prbs_pattern", "rx_prbs_pattern", "tx_prbs_pat0"})
                dev.write(*inst->block->key(QLatin1String(key)), lane, inst->staged[lane].value(QLatin1String(key)));
            dev.ibertRestart(lane);
            break;
        case Inject:
            dev.ibertInject(lane);
            break;
        case Count:
            inst->readBack[lane].insert(k->name, QString::number(dev.ibertCount(lane)));
            break;
    }
    return true;
}

HardIpValues HardIpSet::values(const QString& name, bool staged) const {
    const HardIpInstance* inst = instance(name);
    HardIpValues out;
    if (!inst || !inst->block)
        return out;
    for (const HardIpKey& k : inst->block->keys) {
        if (staged && k.kind == HardIpKey::Status)
            continue;
        const int lane = k.perLane ? m_lane : 0;
        if (lane < 0 || lane >= inst->lanes())
            continue;
        out.insert(k.name, (staged ? inst->staged : inst->readBack).at(lane).value(k.name));
    }
    return out;
}
