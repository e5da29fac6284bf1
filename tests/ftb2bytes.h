#pragma once

#include "EM/csamt_pub.h"

#include <QDataStream>
#include <QVector>

// A table file as the layout reads, not as our writer writes; freq_num at byte 64 with the default name.
inline QByteArray ftb2Bytes(const QVector<freq_item> &entries, const QByteArray &name = QByteArray("survey-7", 9))
{
    QByteArray bytes;
    QDataStream s(&bytes, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s.setFloatingPointPrecision(QDataStream::SinglePrecision);
    s << qint32(1) << qint32(name.size());
    s.writeRawData(name.constData(), name.size());
    s << qint32(42) << 11u << 12u << 13u << 14u << 15u << 16u << qint32(7);
    s.writeRawData("line B", 7);
    s << qint32(3) << qint32(1) << qint32(entries.size());
    for (const freq_item &e : entries)
        s << e.sample_rate << e.freq << e.period_num << e.send_time;
    return bytes;
}
