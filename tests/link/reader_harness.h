// Drives the report reader with encoded reports and records what it answers
// and delivers. Texts behind lParam pointers are copied during the call,
// because the reader reuses its buffers.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "link/link_flags.h"
#include "link/messages.h"
#include "link/report_reader.h"
#include "sim/report_encoder.h"
#include "tests/link/delivered_text.h"

struct Delivery {
    unsigned message;
    std::intptr_t lParam;
    std::string text; // for the three assembled-text messages
};

class ReaderTest : public ::testing::Test {
protected:
    static constexpr std::size_t SLOTS = 4;

    void SetUp() override
    {
        transferCancelled = 0;
        historyActive = 0;
        historyTotal = 0;
        historyComplete = 0;
        // As the export start leaves it: the history asked for.
        historyRequested = HISTORY_REQUESTED;
        slots.assign(SLOTS, StationRecord{});
        initReportReader(reader, ReaderOutput{&recordCommand, &recordDelivery, this}, slots.data(),
                         slots.size(), exportPath);
    }

    void send(const EncodedReport& report) { handleInputReport(reader, report.data()); }

    void sendMessage(std::uint8_t kind, ReportHeader header, const std::string& text)
    {
        EncodedMessage message;
        ASSERT_NE(0u, encodeMessage(kind, header, reinterpret_cast<const std::uint8_t*>(text.data()),
                                    text.size(), message));
        for (std::size_t i = 0; i < message.count; ++i)
            send(message.reports[i]);
    }

    void sendLive(const std::string& text) { sendMessage(KIND_OBSERVATION, observationHeader(0, 0), text); }

    void sendHistory(std::uint16_t count, std::uint16_t number, const std::string& text)
    {
        sendMessage(KIND_OBSERVATION, observationHeader(count, number), text);
    }

    // History record `number` with its packet `lost` (1-based) never sent.
    void sendHistoryWithout(std::uint16_t count, std::uint16_t number, const std::string& text, std::size_t lost)
    {
        EncodedMessage message;
        ASSERT_NE(0u, encodeMessage(KIND_OBSERVATION, observationHeader(count, number),
                                    reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), message));
        ASSERT_LE(lost, message.count);
        for (std::size_t i = 0; i < message.count; ++i)
            if (i + 1 != lost)
                send(message.reports[i]);
    }

    // Ten damaged packets of history record `number`: the reader gives the
    // packet up. The console then moves on to the packet after it.
    void giveUpHistory(std::uint16_t count, std::uint16_t number)
    {
        EncodedReport report = encodePacket(KIND_OBSERVATION, observationHeader(count, number), 0x21,
                                            nullptr, 0);
        damageChecksum(report);
        for (int i = 0; i < 10; ++i)
            send(report);
    }

    // What the export start does before it asks for the history again.
    void startNewDownload()
    {
        transferCancelled = 0;
        historyActive = 0;
        historyComplete = 0;
        historyRequested = HISTORY_REQUESTED;
        for (StationRecord& slot : slots)
            slot.text[0] = 0;
        deliveries.clear();
    }

    EncodedMessage encoded(std::uint16_t count, std::uint16_t number, const std::string& text)
    {
        EncodedMessage message;
        EXPECT_NE(0u, encodeMessage(KIND_OBSERVATION, observationHeader(count, number),
                                    reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), message));
        return message;
    }

    std::vector<unsigned> messageNumbers() const
    {
        std::vector<unsigned> numbers;
        for (const Delivery& d : deliveries)
            numbers.push_back(d.message);
        return numbers;
    }

    std::vector<std::intptr_t> lParamsOf(unsigned message) const
    {
        std::vector<std::intptr_t> values;
        for (const Delivery& d : deliveries)
            if (d.message == message)
                values.push_back(d.lParam);
        return values;
    }

    std::vector<std::string> textsOf(unsigned message) const
    {
        std::vector<std::string> texts;
        for (const Delivery& d : deliveries)
            if (d.message == message)
                texts.push_back(d.text);
        return texts;
    }

    std::size_t countOf(const CommandReport& command) const
    {
        std::size_t n = 0;
        for (const CommandReport& c : commands)
            n += c == command;
        return n;
    }

    ReportReader reader{};
    std::vector<StationRecord> slots;
    std::vector<CommandReport> commands;
    std::vector<Delivery> deliveries;
    wchar_t exportPath[260] = L"C:\\weather\\history.csv";

private:
    static int recordCommand(void* context, const CommandReport& command)
    {
        static_cast<ReaderTest*>(context)->commands.push_back(command);
        return 1;
    }

    static void recordDelivery(void* context, unsigned message, std::intptr_t lParam)
    {
        auto* self = static_cast<ReaderTest*>(context);
        Delivery delivery{message, lParam, {}};
        EXPECT_TRUE(copyDeliveredText(message, lParam, delivery.text)) << "text not terminated in its buffer";
        self->deliveries.push_back(delivery);
    }
};

// A live observation line of realistic length (more than one packet).
inline std::string observationLine(int serial)
{
    std::string line = "42 2026-03-07 09:05 21.4 45 8.3 81 1013.2 1009.8 3.6 5.4 247 0.0 0.3 "
                       "12.7 31.9 2 -- -- 7.1 64 ";
    line += std::to_string(serial);
    while (line.size() < 150)
        line += " --";
    return line;
}
