#pragma once

// An outbox in memory, for the publisher's tests.

#include "monitor/MonitorOutbox.h"

#include <QJsonDocument>
#include <QSet>

class MemoryOutbox : public MonitorOutbox
{
public:
    qint64 append(const QString& subtopic, const QJsonObject& message) override
    {
        QJsonObject stored = message;
        const qint64 id = messages_.size() + 1;
        stored.insert(QStringLiteral("id"), double(id));
        messages_.append({id, subtopic, QJsonDocument(stored).toJson(QJsonDocument::Compact)});
        return id;
    }

    QList<OutboxMessage> unsent(int limit) override
    {
        QList<OutboxMessage> found;
        for (const OutboxMessage& message : messages_)
            if (!sent_.contains(message.id) && found.size() < limit)
                found.append(message);
        return found;
    }

    void markSent(qint64 id) override { sent_.insert(id); }

    [[nodiscard]] int sentCount() const { return int(sent_.size()); }

private:
    QList<OutboxMessage> messages_;
    QSet<qint64> sent_;
};
