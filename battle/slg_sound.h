#pragma once
// The battle's sound: effects by SE number through the SE table (a static sound of the bank or a
// file on the streamed effect channel), unit voices chosen by kind and situation from the voice
// table, the music task, the animation sound hook (AttackVoice), and a few battle switches kept
// beside them (units shown again, the pointer). The words they use live in BattleContext
// (last_se, chosen_voice, voice_request, anm_signal, bgm_number, pointer_mode).

#include <cstdint>

struct SlgUnit;

// Mode 1 plays effect n, mode 2 stops it; other modes do nothing. A number outside 0-511 is
// ignored with a trace.
void SePlay(int n, int mode);
// Battle().last_se := n, then SePlay(n, 1).
void SlgSePlay(int n);
// SlgSePlay(400 + n); 1 (an event script step).
int SlgSePlay400(int n);

// The unit's voice for its attack type (0 a random ATTACK voice, 1 the command window's special,
// 2 CRITICAL[0], 5 GATTAI[0]), also kept in Battle().chosen_voice; -1 none.
int SelectUnitVoice(const SlgUnit& unit);
// chosen_voice := the kind's SPECIAL voice i when 0 <= i < count, else -1.
void SelectSpecialVoice(const SlgUnit& unit, int i);
// VoicePlay(chosen_voice) when it is 0 or more.
void PlayUnitVoice();
// Stops the voice; then for 0 <= n < 5000 with a name plays "tamvik2\Voice\" + name.
void VoicePlay(int n);

// The animation sound hook: the event frame's wait word, read as a signed 16-bit code. -1 flags
// the damage list's units (hit now), -2 requests the voice, -3 sets the signal, -9 stops the last
// effect, -10 and below play effect -code; others do nothing.
void AttackVoice(uint32_t code);

// bgm_number := n and the music task "TamvikSlgFunc::decodeMusic": a playing music fades to 50,
// then "tamvik1\bgm\SM<n>.wav" plays at volume 100.
void BGMPlayStart(int n);
// Music 15.
void BGMPlayDefault();
void SlgBgmVolumeDown();  // 50 over 200 fade frames
void SlgBgmVolumeUp();    // 100 over 128
void SlgBgmVolumeDip();   // 87 over 30
void SlgBgmVolumeBack();  // 100 over 30
// Stops the music, the streamed effect and the voice.
void SlgStopSound();
// 1 when the streamed effect channel is stopped (or there is no sound device).
int SlgIsSeStop();

// SlgFlags bits 5 and 6 cleared, 1 and 2 set; every unit flagged 0x8000 gets 0x80 and its body
// object shown.
void ShowFlaggedUnits();
// 1 in pointer mode; else 0 while SlgDemoCursor (Battle().event_words.demo_cursor) is 1; else
// whether the mouse moved this frame.
uint32_t SlgMouseFlag();
// In pointer mode the battle pointer (16.16 >> 16), else the mouse position - (40, 30); pixels.
void SlgPointerPos(int32_t* x, int32_t* y);
// The mouse cursor to (x + 320, y + 240).
void SlgSetMouse(int x, int y);
