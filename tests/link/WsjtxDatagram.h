// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDataStream>
#include <QIODevice>
#include <cstdint>
#include <vector>

#include "WsjtxListener.h"

// The weak-signal program's datagrams, built here field by field from its published format.
namespace wsjtx_test {

// Writes a message as the program does, remembering where each field ends.
class TestSender {
public:
    TestSender(uint32_t schema, uint32_t type) {
        Put(quint32(WsjtxListener::kMagic));
        Put(quint32(schema));
        Put(quint32(type));
        ends_.clear();
    }
    TestSender& Text(const char* utf8) { return utf8 ? Put(QByteArray(utf8)) : Put(quint32(0xffffffff)); }
    TestSender& U8(quint8 value) { return Put(value); }
    TestSender& U32(quint32 value) { return Put(value); }
    TestSender& U64(quint64 value) { return Put(value); }
    const QByteArray& Bytes() const { return bytes_; }
    const std::vector<int>& FieldEnds() const { return ends_; }

private:
    template <typename T>
    TestSender& Put(const T& value) {
        QDataStream stream(&bytes_, QIODevice::WriteOnly | QIODevice::Append);
        stream.setByteOrder(QDataStream::BigEndian);
        stream << value;
        ends_.push_back(static_cast<int>(bytes_.size()));
        return *this;
    }
    QByteArray bytes_;
    std::vector<int> ends_;
};

constexpr int kTransmittingField = 7;  // the last field every version of the status has (from 0)

inline TestSender FullStatus(uint32_t schema, quint32 period = 120) {
    TestSender sender(schema, 1);
    sender.Text("WSJT-X").U64(144120000).Text("Q65").Text("DL7APA").Text("-20").Text("Q65").U8(1).U8(0);
    sender.U8(1).U32(1500).U32(1000).Text("PA3FWM").Text("JO22IC").Text("JO62QM").U8(0).Text("D").U8(0).U8(0);
    sender.U32(50).U32(period).Text("EME").Text("DL7APA PA3FWM JO22");
    return sender;
}

}  // namespace wsjtx_test
