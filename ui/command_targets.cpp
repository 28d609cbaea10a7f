#include "command_targets.h"

#include <commctrl.h>

#include <initializer_list>

#include "resource.h"

namespace {

struct Targets {
  bool BCommandSet::*group;
  std::initializer_list<UINT> menuCommands;
  std::initializer_list<int> controls;
};

const Targets kTargets[] = {
    {&BCommandSet::fileCommands, {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS}, {}},
    {&BCommandSet::undo, {ID_EDIT_UNDO}, {}},
    {&BCommandSet::redo, {ID_EDIT_REDO}, {}},
    {&BCommandSet::sirenCommands,
     {ID_READ_SIREN, ID_WRITE_SIREN, ID_WRITE_CHANGES, ID_VERIFY_SIREN, ID_PLAY_FRAGMENT_ON_SIREN,
      ID_PLAY_PLAYLIST_ON_SIREN, ID_STOP_ON_SIREN},
     {IDC_PLAY_FRAGMENT_ON_SIREN, IDC_STOP_ON_SIREN, IDC_PLAY_PLAYLIST_ON_SIREN,
      IDC_STOP_PLAYLIST_ON_SIREN}},
    {&BCommandSet::abort, {ID_ABORT}, {}},
    {&BCommandSet::fleetWrite, {ID_FLEET_WRITE}, {}},
    {&BCommandSet::editing,
     {ID_DEFRAGMENT, ID_LEVEL_LOUDNESS},
     {IDC_FRAGMENT_LIST, IDC_PLAY_FRAGMENT, IDC_DELETE_FRAGMENT, IDC_PLAYLIST, IDC_PLAY_PLAYLIST,
      IDC_REMOVE_FROM_PLAYLIST, IDC_BUTTON1_COMBO, IDC_BUTTON2_COMBO, IDC_BUTTON3_COMBO,
      IDC_BUTTON4_COMBO}},
    {&BCommandSet::addFragment, {}, {IDC_ADD_FRAGMENT}},
    {&BCommandSet::addToPlaylist, {}, {IDC_ADD_TO_PLAYLIST}},
    {&BCommandSet::exportFragment, {ID_EXPORT_FRAGMENT}, {}},
    {&BCommandSet::makeSignal, {ID_MAKE_SIGNAL}, {}},
    {&BCommandSet::playerControls, {}, {IDC_TRACKBAR, IDC_PLAY_PAUSE, IDC_STOP, IDC_PLAY_TIME}},
    {&BCommandSet::loopButton, {}, {IDC_LOOP_PLAY}},
    {&BCommandSet::rangeCommands,
     {ID_MARK_RANGE_START, ID_MARK_RANGE_END, ID_INVERT_RANGE, ID_CANCEL_RANGE, ID_DELETE_RANGE,
      ID_AMPLIFY},
     {}},
};

// The trackbar's selection is the marked range; it is only offered while
// range commands are available.
void OfferTrackbarRange(HWND trackbar, bool offer) {
  LONG_PTR style = ::GetWindowLongPtrW(trackbar, GWL_STYLE);
  style =
      offer ? (style | TBS_ENABLESELRANGE) : (style & ~static_cast<LONG_PTR>(TBS_ENABLESELRANGE));
  ::SetWindowLongPtrW(trackbar, GWL_STYLE, style);
}

}  // namespace

void ApplyCommands(HWND window, const BCommandSet& commands, const BCommandSet* shown) {
  HMENU menu = ::GetMenu(window);
  for (const Targets& targets : kTargets) {
    const bool on = commands.*targets.group;
    if (shown != nullptr && shown->*targets.group == on) continue;
    for (UINT id : targets.menuCommands)
      ::EnableMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
    for (int id : targets.controls) ::EnableWindow(::GetDlgItem(window, id), on ? TRUE : FALSE);
  }
  if (shown == nullptr || shown->rangeCommands != commands.rangeCommands)
    OfferTrackbarRange(::GetDlgItem(window, IDC_TRACKBAR), commands.rangeCommands);
}
