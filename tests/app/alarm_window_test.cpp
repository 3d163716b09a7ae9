// Alarms in the running program: lines through COM14 drive channel 3 across
// its limit and back, and the field's mark, the status line, the sound (its
// calls counted through the window's seam), the alarm log and the
// acknowledgement follow; the "Alarmy" dialog refuses what it cannot take
// and saves what it takes at once.
#include "tests/app/program_harness.h"

#include <atomic>
#include <regex>

using namespace qm487test;

namespace {

const std::uint16_t kSerial = 4660;
const wchar_t kLostLink[] = L"Brak komunikacji z urz\x0105" L"dzeniem. ";
const wchar_t kAlarmT3[] = L"Alarm: T3 > 30.0 \x00B0" L"C. ";

std::atomic<int> g_nSounds{0};
void CountSound() { ++g_nSounds; }

InstrumentReading Reading(int channel, double value, bool valueError = false) {
    InstrumentReading r;
    r.channel = channel;
    r.value = value;
    r.valueError = valueError;
    r.serialNumber = kSerial;
    return r;
}

std::wstring Verdict(int channel) {
    return L"QM-487 nr 4660. Pomiar temperatury " + std::to_wstring(channel) + L" prawid\x0142owy. ";
}

// The log's events after its header line, each without its time.
std::vector<std::string> LogEvents(const std::string& log) {
    static const std::regex line("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d;([^\r\n]*)\r\n");
    std::vector<std::string> events;
    const std::string header = "Data i Godzina;Kana\xB3;Zdarzenie;Warto\x9C\xE6;Pr\xF3g\r\n";
    if (log.rfind(header, 0) != 0)
        return {"<no header>"};
    for (std::sregex_iterator it(log.begin() + header.size(), log.end(), line), end; it != end; ++it)
        events.push_back((*it)[1]);
    return events;
}

class Alarms : public ::testing::Test {
protected:
    // The limits come from a hand-edited file, as the program finds it at start.
    void Start(const std::string& alarmSection, const std::string& logFolder = std::string()) {
        program = std::make_unique<RunningProgram>("[GENERAL]\r\nPORT_NR=13\r\n");
        logPath = program->IniPath().parent_path() / logFolder / "alarmy.csv";
        std::ofstream(program->IniPath(), std::ios::binary)
            << "[GENERAL]\r\nPORT_NR=13\r\n[ALARM]\r\nLOG_FILE=" << logPath.string() << "\r\n" << alarmSection;
        ASSERT_TRUE(instrument.IsOpen());
        ASSERT_TRUE(program->Start());
        program->Dialog()->Alarms().m_pfnSound = &CountSound;
        g_nSounds = 0;
        ASSERT_TRUE(program->WaitForStatus(kLostLink + tail));
        bool heard = false;
        for (int attempt = 0; attempt < 20 && !heard; ++attempt) {
            ASSERT_TRUE(instrument.Send(Line(Reading(3, 29.0))));
            heard = program->WaitForStatus(Verdict(3) + tail, 1000);
        }
        ASSERT_TRUE(heard) << "no line reached the program on COM13";
    }
    void Expect(const InstrumentReading& reading, const std::wstring& status) {
        ASSERT_TRUE(instrument.Send(Line(reading)));
        ASSERT_TRUE(program->WaitForStatus(status)) << "status stayed: " << testing::PrintToString(program->Status());
    }
    CReadingView& Field(int channel) { return program->Dialog()->Panel().Field(channel); }
    bool Offered(UINT id) { return !(GetMenuState(GetMenu(program->Main()), id, MF_BYCOMMAND) & MF_GRAYED); }
    // One tick of the sound's timer, handled before this returns.
    void SoundTick() { SendMessageW(program->Main(), WM_TIMER, CAlarmMonitor::kSoundTimerId, 0); }
    void ClickField(int channel) {
        RECT rc;
        GetWindowRect(Field(channel).m_hWnd, &rc);
        MapWindowPoints(nullptr, program->Main(), reinterpret_cast<POINT*>(&rc), 2);
        const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
        SendMessageW(program->Main(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(program->Main(), WM_LBUTTONUP, 0, at);
    }

    InstrumentPort instrument{L"\\\\.\\COM14"};
    std::unique_ptr<RunningProgram> program;
    std::filesystem::path logPath;
    std::wstring tail;  // the status line's end at start
};

}  // namespace

TEST_F(Alarms, AChannelAcrossItsLimitAndBackMarksSoundsAndLogsOnlyWhatChanged) {
    ASSERT_NO_FATAL_FAILURE(Start("HIGH_TEMP3=30.0\r\n"));
    EXPECT_EQ(Field(3).AlarmMark(), 0);
    EXPECT_FALSE(Offered(ID_ACKNOWLEDGE_ALARMS));

    Expect(Reading(3, 30.4), Verdict(3) + kAlarmT3);
    EXPECT_EQ(Field(3).AlarmMark(), 1);
    EXPECT_EQ(g_nSounds, 1);
    EXPECT_TRUE(Offered(ID_ACKNOWLEDGE_ALARMS));
    SoundTick();
    EXPECT_EQ(g_nSounds, 2) << "the sound comes again until acknowledged";

    // An error reading and a lost link change nothing; the mark stays.
    Expect(Reading(3, 10.0, true), L"QM-487 nr 4660. B\x0142\x0105" L"d warto\x015B" L"ci temperatury 3. " +
                                       std::wstring(kAlarmT3));
    ASSERT_TRUE(instrument.Send("garbage\r"));
    ASSERT_TRUE(program->WaitForStatus(kLostLink + std::wstring(kAlarmT3)));
    EXPECT_EQ(Field(3).AlarmMark(), 1);
    // Back, but not past the hysteresis: still in alarm.
    Expect(Reading(3, 29.6), Verdict(3) + kAlarmT3);
    EXPECT_EQ(g_nSounds, 2) << "no new alarm, no new sound";

    // A click on a field that is not in alarm acknowledges nothing.
    ClickField(4);
    EXPECT_TRUE(Offered(ID_ACKNOWLEDGE_ALARMS));
    ClickField(3);
    EXPECT_FALSE(Offered(ID_ACKNOWLEDGE_ALARMS));
    SoundTick();
    EXPECT_EQ(g_nSounds, 2) << "acknowledged: silent";
    EXPECT_EQ(Field(3).AlarmMark(), 1) << "acknowledging silences the sound, not the mark";

    Expect(Reading(3, 29.5), Verdict(3));
    EXPECT_EQ(Field(3).AlarmMark(), 0);
    EXPECT_EQ(program->Dialog()->Instrument().Channels()[3].alarm.nState, kAlarmNone);

    // Again, acknowledged this time through the menu.
    Expect(Reading(3, 31.0), Verdict(3) + kAlarmT3);
    EXPECT_EQ(g_nSounds, 3);
    program->Command(ID_ACKNOWLEDGE_ALARMS);
    SoundTick();
    EXPECT_EQ(g_nSounds, 3);

    const std::vector<std::string> expected = {"T3;g\xF3rny;30.4;30.0", "T3;koniec;29.5;30.0", "T3;g\xF3rny;31.0;30.0"};
    EXPECT_EQ(LogEvents(ReadFileBytes(logPath)), expected);
}

TEST_F(Alarms, BothLimitsOfTheMeanAndTheSoundSwitchedOff) {
    ASSERT_NO_FATAL_FAILURE(Start("SOUND=0\r\nLOW_TEMP0=-5.0\r\nHIGH_TEMP0=5.0\r\n"));
    Expect(Reading(1, -6.0), Verdict(1));
    // The first mean after the loss shows no value: it is not judged.
    Expect(Reading(0, 0.0), Verdict(0));
    EXPECT_EQ(Field(0).AlarmMark(), 0);
    // The mean of 29.0 and -6.0.
    ASSERT_TRUE(instrument.Send(Line(Reading(0, 0.0))));
    ASSERT_TRUE(program->WaitForStatus(Verdict(0) + L"Alarm: T > 5.0 \x00B0" L"C. "));
    EXPECT_EQ(Field(0).AlarmMark(), 1);
    Expect(Reading(3, -20.0), Verdict(3) + L"Alarm: T > 5.0 \x00B0" L"C. ");
    Expect(Reading(0, 0.0), Verdict(0) + L"Alarm: T < -5.0 \x00B0" L"C. ");
    EXPECT_EQ(Field(0).AlarmMark(), -1);
    EXPECT_EQ(g_nSounds, 0);
    EXPECT_TRUE(Offered(ID_ACKNOWLEDGE_ALARMS)) << "a silent alarm is still acknowledged";
    EXPECT_NE(ReadFileBytes(logPath).find(";T;dolny;-13.0;-5.0\r\n"), std::string::npos) << ReadFileBytes(logPath);
}

// Told once; the events wait and go in, in order, once the file can be made.
TEST_F(Alarms, ALogThatCannotBeWrittenIsToldOnceAndLosesNoEvent) {
    ASSERT_NO_FATAL_FAILURE(Start("HIGH_TEMP3=30.0\r\n", "later"));
    Expect(Reading(3, 30.4), Verdict(3) + kAlarmT3);
    HWND box = program->WaitForMessageBox();
    ASSERT_NE(box, nullptr) << "the failure is told";
    EXPECT_EQ(RunningProgram::MessageBoxText(box).rfind(L"Nie mo\x017Cna zapisa\x0107 zdarzenia do dziennika alarm\x00F3w:", 0),
              0u)
        << testing::PrintToString(RunningProgram::MessageBoxText(box));
    // Readings and alarms go on while the box waits for the user.
    Expect(Reading(3, 29.4), Verdict(3));
    RunningProgram::Dismiss(box);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }, 10000));
    Expect(Reading(3, 30.6), Verdict(3) + kAlarmT3);
    EXPECT_EQ(program->WaitForMessageBox(1000), nullptr) << "told once, not at every event";
    Expect(Reading(3, 29.0), Verdict(3));

    std::filesystem::create_directories(logPath.parent_path());
    Expect(Reading(3, 31.0), Verdict(3) + kAlarmT3);
    const std::vector<std::string> expected = {"T3;g\xF3rny;30.4;30.0", "T3;koniec;29.4;30.0", "T3;g\xF3rny;30.6;30.0",
                                               "T3;koniec;29.0;30.0", "T3;g\xF3rny;31.0;30.0"};
    EXPECT_EQ(LogEvents(ReadFileBytes(logPath)), expected);
}

TEST_F(Alarms, TheDialogRefusesWhatItCannotTakeAndSavesWhatItTakesAtOnce) {
    // Hand-written limits and hysteresis refused at start are told, and the dialog says why.
    tail = L"B\x0142\x0119" L"dne progi alarmu: T2. B\x0142\x0119" L"dna histereza alarmu, obowi\x0105zuje 0.5. ";
    ASSERT_NO_FATAL_FAILURE(Start("LOW_TEMP2=25\r\nHIGH_TEMP2=20\r\nHYSTERESIS=0.005\r\n"));
    PostMessageW(program->Main(), WM_COMMAND, ID_ALARMS, 0);
    HWND dlg = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] { return (dlg = program->FindDialog([](HWND h) { return WindowText(h) == L"Alarmy"; })) != nullptr; },
        10000));
    auto type = [&](int id, const wchar_t* text) { SetDlgItemTextW(dlg, id, text); };
    auto told = [&]() {
        HWND box = nullptr;
        // The message box over the dialog.
        WaitFor([&] { return (box = program->FindDialog([](HWND h) { return WindowText(h) != L"Alarmy"; })) != nullptr; },
                10000);
        if (box == nullptr)
            return std::wstring(L"<no message>");
        const std::wstring text = RunningProgram::MessageBoxText(box);
        RunningProgram::Dismiss(box);
        WaitFor([&] { return !IsWindow(box); }, 10000);
        return text;
    };
    auto refusal = [&]() {
        PostMessageW(dlg, WM_COMMAND, IDOK, 0);
        return told();
    };
    EXPECT_EQ(told(), L"Temperatura 2: dolny pr\x00F3g musi by\x0107 ni\x017Cszy ni\x017C g\x00F3rny.");
    EXPECT_EQ(refusal(), L"Temperatura 2: dolny pr\x00F3g musi by\x0107 ni\x017Cszy ni\x017C g\x00F3rny.");
    type(IDC_ALARM_HIGH0 + 2, L"30");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDC_ALARM_LOW0 + 3))) << "a row switched off is greyed";
    SendMessageW(GetDlgItem(dlg, IDC_ALARM_ON0 + 3), BM_CLICK, 0, 0);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, IDC_ALARM_LOW0 + 3)));
    type(IDC_ALARM_LOW0 + 3, L"30");
    type(IDC_ALARM_HIGH0 + 3, L"30");
    EXPECT_EQ(refusal(), L"Temperatura 3: dolny pr\x00F3g musi by\x0107 ni\x017Cszy ni\x017C g\x00F3rny.");
    type(IDC_ALARM_LOW0 + 3, L"");
    type(IDC_ALARM_HIGH0 + 3, L"30,5 \x00B0" L"C");
    EXPECT_EQ(refusal(), L"Temperatura 3: g\x00F3rny pr\x00F3g nie jest liczb\x0105.");
    ASSERT_TRUE(IsWindow(dlg)) << "a refused form stays open";
    type(IDC_ALARM_HIGH0 + 3, L"30,5");
    EXPECT_EQ(refusal(), L"Histereza mo\x017C" L"e mie\x0107 najwy\x017C" L"ej dwa miejsca po przecinku.");
    type(IDC_ALARM_HYSTERESIS, L"0.25");
    PostMessageW(dlg, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dlg); }, 10000));
    // The window handles this once the command that ran the dialog has returned.
    SendMessageW(program->Main(), WM_NULL, 0, 0);
    // Saved before the program ends, and used at once.
    EXPECT_NE(ReadFileBytes(program->IniPath()).find("LOW_TEMP2=25.0\r\nHIGH_TEMP2=30.0\r\n"), std::string::npos);
    EXPECT_NE(ReadFileBytes(program->IniPath()).find("LOW_TEMP3=\r\nHIGH_TEMP3=30.5\r\n"), std::string::npos)
        << ReadFileBytes(program->IniPath());
    EXPECT_NE(ReadFileBytes(program->IniPath()).find("HYSTERESIS=0.25\r\n"), std::string::npos);
    Expect(Reading(3, 31.0), Verdict(3) + L"Alarm: T3 > 30.5 \x00B0" L"C. ");
}
