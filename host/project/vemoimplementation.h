#pragma once

#include "project/vemoresource.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>
#include <vector>

// One implementation of the host project: the state of its flow tasks and
// the files (resources) it holds. The host application, or a test, fills it;
// tools only ask.
class VemoImplementation {
public:
    enum TaskStatus {
        TaskNotRun = 0,    // never run, or the host knows nothing of it
        TaskDone = 1,      // finished and up to date
        TaskOutOfDate = 2, // finished, but its inputs changed since
        TaskFailed = 3,    // the last run failed
        TaskRunning = 4    // running now
    };

    explicit VemoImplementation(const QString& name);

    QString name() const { return m_name; }

    // Records a task's state; `finished` is when it last ended (for
    // TaskDone; defaults to now). Tasks of a step keep the order in which
    // they were first recorded: that is the flow order.
    void setTaskStatus(const QString& step, const QString& task, TaskStatus status,
                       const QDateTime& finished = QDateTime());
    void removeTask(const QString& step, const QString& task);

    // The state of `task` in `step` as a TaskStatus value.
    // checkStamp: a done task that finished before `stamp` (seconds since
    //   the epoch; the low 32 bits are enough until 2106) is out of date,
    //   because something it depends on changed after it ran.
    // checkUpstream: a done task is also out of date when an earlier task
    //   of its step is not done or finished after it.
    // An unknown task is TaskNotRun.
    int getCheckedTaskStatus(const QString& step, const QString& task, quint64 stamp, bool checkStamp,
                             bool checkUpstream) const;

    // Adds (or returns the existing) resource of that name.
    VemoResource* addResource(const QString& name);
    void removeResource(const QString& name);
    // The resource of that name, or nullptr. Names are compared as paths
    // ("a//b/../c" finds "a/c"; backslashes count as slashes).
    VemoResource* getResource(const QString& name) const;
    VemoResource* getResource(const char* latin1Name) const;
    VemoResource* getResource(const QByteArray& latin1Name) const;
    QList<VemoResource*> resources() const;

    void clear();

private:
    struct Task {
        QString step;
        QString task;
        TaskStatus status = TaskNotRun;
        QDateTime finished;
    };
    const Task* findTask(const QString& step, const QString& task) const;
    static QString key(const QString& name);

    QString m_name;
    QList<Task> m_tasks;
    std::vector<std::unique_ptr<VemoResource>> m_resources;
};
