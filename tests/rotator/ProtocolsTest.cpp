// SPDX-License-Identifier: GPL-3.0-or-later
#include "Protocols.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Protocols::Axis;

// The setup lists: each axis's protocols in the controllers' order, then "Hamlib" (no bytes of
// its own: Hamlib takes the position itself, unrounded) and "none" last, with the line speed and
// the number of copies of the controllers' manuals.
TEST(Protocols, EachAxisListsItsControllersWithSpeedCopiesAndTransport) {
    using enum Protocols::TransportKind;
    struct Row {
        const char* name;
        const char* lineSpeed;
        int copies;
        Protocols::TransportKind transport;
    };
    const std::vector<Row> azimuth = {{"Hy-Gain DCU-1", "4800", 1, kSerialLine},
                                      {"Prosistel-D", "9600", 2, kSerialLine},
                                      {"M\xB2 RC2800", "9600", 1, kSerialLine},
                                      {"YAESU GS-232A 9600bd", "9600", 1, kSerialLine},
                                      {"Hamlib", "", 0, kHamlib},
                                      {"none", "", 0, kNone}};
    const std::vector<Row> elevation = {{"Prosistel-D", "9600", 2, kSerialLine},
                                        {"Prosistel-D combined", "9600", 2, kSerialLine},
                                        {"M\xB2 RC2800", "9600", 1, kSerialLine},
                                        {"YAESU GS-232A 9600bd", "9600", 1, kSerialLine},
                                        {"Hamlib", "", 0, kHamlib},
                                        {"none", "", 0, kNone}};
    for (const auto& [axis, rows] : {std::pair{Axis::kAzimuth, azimuth}, std::pair{Axis::kElevation, elevation}}) {
        const auto protocols = Protocols::ProtocolsOf(axis);
        ASSERT_EQ(protocols.size(), rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE(rows[i].name);
            EXPECT_EQ(protocols[i]->name, rows[i].name);
            EXPECT_EQ(protocols[i]->axis, axis);
            EXPECT_EQ(protocols[i]->lineSpeed, rows[i].lineSpeed);
            EXPECT_EQ(protocols[i]->copies, rows[i].copies);
            EXPECT_EQ(protocols[i]->transport, rows[i].transport);
            EXPECT_EQ(protocols[i]->fractionalDegrees, rows[i].transport == kHamlib);
            EXPECT_TRUE(Protocols::GoesOver(axis, rows[i].name, rows[i].transport));
            EXPECT_EQ(Protocols::FindProtocol(axis, rows[i].name), protocols[i]);
        }
    }
    EXPECT_EQ(Protocols::FindProtocol(Axis::kElevation, "Hy-Gain DCU-1"), nullptr);
    EXPECT_EQ(Protocols::FindProtocol(Axis::kAzimuth, "Prosistel-D combined"), nullptr);
    EXPECT_FALSE(Protocols::GoesOver(Axis::kAzimuth, "hamlib", kHamlib));  // names match byte for byte
}

// One copy's bytes for targets of every width: values are at least three characters, "0"-padded,
// a minus sign counting as one ("-40" stays, "-5" becomes "0-5").
TEST(Protocols, CommandCarriesTheTargetsAsCommandValues) {
    struct Case {
        Axis axis;
        const char* name;
        Protocols::Targets targets;
        std::string bytes;
    };
    const Case cases[] = {
        {Axis::kAzimuth, "Hy-Gain DCU-1", {7, 0}, "AP1007;AM1;"},
        {Axis::kAzimuth, "Prosistel-D", {359, 90}, "\002AG359\r\r"},
        {Axis::kAzimuth, "M\xB2 RC2800", {-40, 0}, "A-40\r"},
        {Axis::kAzimuth, "YAESU GS-232A 9600bd", {-5, 12}, "M0-5\r"},
        {Axis::kAzimuth, "YAESU GS-232A 9600bd", {1000, 12}, "M1000\r"},
        {Axis::kElevation, "Prosistel-D", {200, 9}, "\002AG009\r\r"},
        {Axis::kElevation, "Prosistel-D combined", {200, 90}, "\002EG090\r\r"},
        {Axis::kElevation, "M\xB2 RC2800", {200, 45}, "E045\r"},
        {Axis::kElevation, "YAESU GS-232A 9600bd", {7, 0}, "W007 000\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const Protocols::Protocol* protocol = Protocols::FindProtocol(c.axis, c.name);
        ASSERT_NE(protocol, nullptr);
        EXPECT_EQ(protocol->Command(c.targets), c.bytes);
    }
}

}  // namespace
