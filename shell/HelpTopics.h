#pragma once

// The manual page behind each Help button: topic n opens hs<n>.htm, topic 0 the start
// page. The manual's check (tests/shell/help_check.py) reads the numbers from this file,
// so every topic named here must have its page in every language.
namespace HelpTopic {
constexpr int Manual = 0;                // the start page with the table of contents
constexpr int GotoSearchMeasure = 310;   // goto, search and measure
constexpr int Options = 728;             // options, any page without a topic of its own
constexpr int OptionsProgramStart = 729;
constexpr int OptionsDisplay = 730;
constexpr int OptionsInterface = 731;
constexpr int ValueSelector = 732;       // the port value lists of a hardware profile
constexpr int OptionsUpdate = 734;
constexpr int EnvironmentHeader = 890;
constexpr int TriggerEditor = 900;
constexpr int Report = 970;
constexpr int Export = 985;
constexpr int ConfirmRecordMode = 8450;  // numbered like the dialog's own texts

constexpr int kAll[] = {Manual,         GotoSearchMeasure, Options,           OptionsProgramStart, OptionsDisplay,
                        OptionsInterface, ValueSelector,   OptionsUpdate,     EnvironmentHeader,   TriggerEditor,
                        Report,         Export,            ConfirmRecordMode};
}  // namespace HelpTopic
