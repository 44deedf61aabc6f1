#include "project/vemoimplementation.h"

#include <QDir>

VemoImplementation::VemoImplementation(const QString& name) : m_name(name) {}

void VemoImplementation::setTaskStatus(const QString& step, const QString& task, TaskStatus status,
                                       const QDateTime& finished) {
    const QDateTime when = finished.isValid() ? finished : QDateTime::currentDateTimeUtc();
    for (Task& t : m_tasks) {
        if (t.step == step && t.task == task) {
            t.status = status;
            if (status == TaskDone || finished.isValid())
                t.finished = when;
            return;
        }
    }
    m_tasks.append(Task{step, task, status, status == TaskDone || finished.isValid() ? when : QDateTime()});
}

void VemoImplementation::removeTask(const QString& step, const QString& task) {
    m_tasks.removeIf([&](const Task& t) { return t.step == step && t.task == task; });
}

const VemoImplementation::Task* VemoImplementation::findTask(const QString& step, const QString& task) const {
    for (const Task& t : m_tasks) {
        if (t.step == step && t.task == task)
            return &t;
    }
    return nullptr;
}

int VemoImplementation::getCheckedTaskStatus(const QString& step, const QString& task, quint64 stamp, bool checkStamp,
                                             bool checkUpstream) const {
    const Task* t = findTask(step, task);
    if (!t)
        return TaskNotRun;
    if (t->status != TaskDone)
        return t->status;
    if (checkStamp && t->finished.isValid() && quint64(t->finished.toSecsSinceEpoch()) < stamp)
        return TaskOutOfDate;
    if (checkUpstream) {
        for (const Task& before : m_tasks) {
            if (&before == t)
                break;
            if (before.step != step)
                continue;
            if (before.status != TaskDone || before.finished > t->finished)
                return TaskOutOfDate;
        }
    }
    return TaskDone;
}

QString VemoImplementation::key(const QString& name) {
    QString n = name.trimmed();
    n.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return n.isEmpty() ? n : QDir::cleanPath(n);
}

VemoResource* VemoImplementation::addResource(const QString& name) {
    if (VemoResource* r = getResource(name))
        return r;
    m_resources.push_back(std::make_unique<VemoResource>(name));
    return m_resources.back().get();
}

void VemoImplementation::removeResource(const QString& name) {
    const QString k = key(name);
    for (auto it = m_resources.begin(); it != m_resources.end(); ++it) {
        if (key((*it)->name()) == k) {
            m_resources.erase(it);
            return;
        }
    }
}

VemoResource* VemoImplementation::getResource(const QString& name) const {
    const QString k = key(name);
    if (k.isEmpty())
        return nullptr;
    for (const auto& r : m_resources) {
        if (key(r->name()) == k)
            return r.get();
    }
    return nullptr;
}

VemoResource* VemoImplementation::getResource(const char* latin1Name) const {
    return latin1Name ? getResource(QString::fromLatin1(latin1Name)) : nullptr;
}

VemoResource* VemoImplementation::getResource(const QByteArray& latin1Name) const {
    return getResource(QString::fromLatin1(latin1Name));
}

QList<VemoResource*> VemoImplementation::resources() const {
    QList<VemoResource*> list;
    for (const auto& r : m_resources)
        list << r.get();
    return list;
}

void VemoImplementation::clear() {
    m_tasks.clear();
    m_resources.clear();
}
