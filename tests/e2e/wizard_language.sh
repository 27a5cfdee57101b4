#!/usr/bin/env bash
# Language choice: the list shows the system's names of the offered codes,
# sorted by code, with the user's language selected; choosing a language
# changes the texts from the next page on: Tarn.dlg's language sections,
# [Variables.<code>] and the caption of message boxes.
source "$(dirname "$0")/lib.sh"

WizardProject language
WizardWrite Tarn.ini <<'INI'
[Config]
Languages=Rus,Enu
PreInstallDialogSequence=DLG_LANGUAGE,DLG_WELCOME
[Variables]
ProgramName=Lang Test
[Variables.RUS]
ProgramName=Тест языка
INI
WizardWrite Tarn.str <<'STR'
[Strings]
1=Cancel %ProgramName%?
[Strings.RUS]
1=Прервать установку %ProgramName%?
STR
WizardWrite Tarn.dlg <<'DLG'
[Dialogs.RUS]
101=< Назад
102=Далее >
103=Отмена
[DLG_LANGUAGE.RUS]
Caption=Выбор языка
105=Выберите язык установки:
[DLG_WELCOME.RUS]
Caption=Добро пожаловать
105=Вас приветствует %ProgramName%.
[DLG_NOTFINISH.RUS]
Caption=Установка не завершена
106=%ProgramName%: установка не завершена.
DLG
WizardBuild language

# 1. An English system: both names, sorted by code, English selected.
WizardRun english
E2eDriver english <<'SCRIPT'
wait-window "Choose language"
read-list 106
expect-selected 106 "English (United States)"
screenshot language-list
press 103
answer yes "Lang Test"
wait-gone
wait-window "Installation uncomplete"
expect-text-contains 106 "Lang Test hasn't been properly installed"
press 104
wait-gone
SCRIPT
[ $? = 0 ] || E2eFail "the language list on an English system"
E2eExpectExit=2 WizardEnd "the English run"
Log=$TARN_ARTIFACTS/english.log
E2eExpectLine "$Log" 'item 0 "English \(United States\)" selected' "English first and selected"
E2eExpectLine "$Log" 'item 1 "Russian \(Russia\)"' "Russian second"
E2eExpectLine "$Log" '^ok   read-list 106: 2 items' "two languages"

# 2. A Russian system (code page 1251): the run starts in Russian; English
# chosen, then Russian again after Back.
# (bash itself may have no such locale and says so: quietened.)
{ export LC_ALL=ru_RU.UTF-8; } 2>/dev/null
WizardRun russian
{ unset LC_ALL; } 2>/dev/null
E2eDriver russian <<'SCRIPT'
wait-window "Выбор языка"
expect-text 105 "Выберите язык установки:"
expect-text 103 "Отмена"
select-list 106 0
press 102
wait-gone
wait-window "Welcome!"
expect-text 101 "< Back"
expect-text-contains 105 "Lang Test"
press 101
wait-gone
wait-window "Choose language"
expect-text 105 "Choose installation language:"
select-list 106 1
press 102
wait-gone
wait-window "Добро пожаловать"
expect-text 101 "< Назад"
expect-text 105 "Вас приветствует Тест языка."
screenshot welcome-russian
press 103
answer no "Тест языка"
wait-window "Добро пожаловать"
press 103
answer yes "Тест языка"
wait-gone
wait-window "Установка не завершена"
expect-text 106 "Тест языка: установка не завершена."
press 104
wait-gone
SCRIPT
[ $? = 0 ] || E2eFail "switching the language"
E2eExpectExit=2 WizardEnd "the Russian run"
E2eExpectLine "$TARN_ARTIFACTS/russian.log" '^ok   answer no "Тест языка": box "Тест языка" text "Прервать установку Тест языка\?"' \
  "the cancel question in Russian with the Russian program name"
E2eFinish
