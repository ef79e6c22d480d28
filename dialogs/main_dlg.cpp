#include "dialogs/main_dlg.h"

#include <shlobj.h>

#include "base/handles.h"
#include "dialogs/msgbox.h"
#include "dialogs/progress_bar.h"
#include "skin/gx_object.h"
#include "log/setup_log.h"
#include "sys/file_utils.h"
#include "sys/own_messages.h"
#include "sys/path_text.h"
#include "sys/shell_api.h"

namespace {

// Items of layer 103.
enum : int {
  kItemHeaderPicture = 97,
  kItemMinimise = 99,
  kItemClose = 100,
  kItemInstall = 102,
  kItemProgressBar = 103,
  kItemMainPanel = 200,
  kItemProgressPanel = 201,
  kItemSettingsLink = 204,
  kItemFolder = 205,
  kItemAgreement = 206,
  kItemLicence = 207,
  kItemProductText = 210,
  kItemLogo = 211,
  kItemSettingsPage = 300,
  kItemBrowse = 302,
  kItemAssociation = 303,
  kItemSaveFormat = 304,
  kItemDesktopIcon = 305,
  kItemSettingsMinimise = 308,
  kItemSettingsClose = 309,
  kItemBackArrow = 310,
  kItemBack = 311,
  kItemOffer = 321,
  kItemTipPanel = 350,
  kItemFirstTip = 351,
  kItemFirstSlide = 401,
};

enum : UINT_PTR { kTimerEndPoll = 1025, kTimerProgress = 1026, kTimerSlides = 1027, kTimerDesktopUser = 1028,
                  kTimerPreload = 1029, kTimerLicence = 1030 };
// How long the wizard waits for an install thread that said it is ending to be gone.
constexpr DWORD kThreadEndingMs = 2000;

// The install thread's report, carried to the window thread: wParam percent and step, lParam error.
const UINT kMsgProgress = WM_APP + 0x125;
const UINT kMsgExtractTotal = 3012;
const UINT kMsgExtractWritten = 3013;

const wchar_t kLeaveQuestion[] = L"退出安装程序将无法完成安装，确定退出安装吗？";
// The user-level copy, which acts on the desktop user's behalf, did not get ready.
const wchar_t kStartFailed[] = L"安装程序未能完成启动，请重新运行安装程序。";
// The three options' keys in the old installation's install.ini (section "installinfo").
const wchar_t* const kOptionKeys[] = {L"assoword", L"savetomso", L"desktopshortcuts"};
// The licence the user accepts, carried with the wizard's images; its link opens it with the
// system's viewer for text, so it reads without a network.
const wchar_t kLicenceFile[] = L"licence.txt";

}  // namespace

CMainDlg::CMainDlg(WizardEngine& engine, const std::wstring& resourceFolder)
    : CGxDialogImpl(103), Engine(engine), ResourceFolder(ZFunction::WithSlash(resourceFolder)) {
  RoundCorners = true;
}

void CMainDlg::ShowItems(std::initializer_list<int> ids, bool show) {
  for (int id : ids) View().SetItemVisible(id, show);
}

void CMainDlg::EnableItems(std::initializer_list<int> ids, bool enable) {
  for (int id : ids) View().SetItemEnabled(id, enable);
}

void CMainDlg::SetFolderText(const std::wstring& folder) {
  View().SetItemText(kItemFolder, folder);
  View().SetItemAttribute(kItemFolder, "tip", gx::Narrow(folder));
}

// The taskbar's and the window switcher's pictures (the window itself has no frame to show
// them); given after the first paint, which does not wait for them.
void CMainDlg::SetIcons() {
  const int size = GetSystemMetrics(SM_CXICON), small = GetSystemMetrics(SM_CXSMICON);
  if (HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(128), IMAGE_ICON, size, size, LR_SHARED))
    SendMessageW(Window(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  if (HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(128), IMAGE_ICON, small, small, LR_SHARED))
    SendMessageW(Window(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void CMainDlg::OnInitDialog() {
  if (HMENU menu = GetSystemMenu(Window(), FALSE)) DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);

  CGxDialogView& view = View();
  view.SetItemChecked(kItemAgreement, true);
  Agreement = 1;
  Offers = Engine.Offers();
  if (!Offers.empty()) {  // one check box serves: there is at most one offer
    view.SetItemText(kItemOffer, Offers.front());
    view.SetItemChecked(kItemOffer, true);
    view.SetItemVisible(kItemOffer, true);
  }

  ShowUserFacts();
  SetTimer(Window(), kTimerDesktopUser, 10, nullptr);
  // A timer comes after the first paint: neither the desktop user's copy nor the product's
  // decoding holds the window up.
  SetTimer(Window(), kTimerPreload, 1, nullptr);

  // The realwnd 103 places the bar; its pictures are decoded when the install shows it.
  ProgressBar().Create(view.Window(), kItemProgressBar, RECT{0, 0, 1, 1});
  Engine.SetMainWindow(Window());
}

// The licence link opens the licence text once the payload folder holds it (the folder is
// written while the first page shows).
void CMainDlg::LinkLicence() {
  const std::wstring licence = ResourceFolder + kLicenceFile;
  if (Engine.PayloadWritten() && ZFunction::PathExists(licence)) View().SetItemAttribute(kItemLicence, "href", gx::Narrow(licence));
  else g_Log.Log("CMainDlg no licence text:%ws", licence.c_str());
}

// The default folder and the three options, from the desktop user's facts when they are in,
// else from what this process sees (the same for the usual desktop user).
void CMainDlg::ShowUserFacts() {
  FactsFromUser = Engine.JoinDesktopUser(false) == DesktopUser::Ready;
  Folder = DefaultWizardFolder(Engine.Folders());
  g_Log.Log("CMainDlg default folder:%ws", Folder.c_str());
  int* options[] = {&Association, &SaveFormat, &DesktopIcon};
  for (int i = 0; i < 3; ++i) {
    const std::wstring old = Engine.OldOption(kOptionKeys[i]);
    *options[i] = old.empty() || old == L"1" ? 1 : 0;
    const int given = Engine.CommandLineOption(i);
    if (given != -1) *options[i] = given;
  }
  View().SetItemChecked(kItemAssociation, Association != 0);
  View().SetItemChecked(kItemSaveFormat, SaveFormat != 0);
  View().SetItemChecked(kItemDesktopIcon, DesktopIcon != 0);
  SetFolderText(Folder);
}

// Whether the desktop user's facts are in (waiting for them when `wait`); the page shows them.
// Without them the run cannot go on: the user is told, and the wizard ends (exit code 2).
bool CMainDlg::TakeDesktopUser(bool wait) {
  const DesktopUser user = Engine.JoinDesktopUser(wait);
  if (user == DesktopUser::Pending) return false;
  KillTimer(Window(), kTimerDesktopUser);
  if (user == DesktopUser::Ready) {
    if (!FactsFromUser) ShowUserFacts();
    return true;
  }
  if (!Closing) {
    Closing = true;
    Zmsgbox::Show(Window(), kStartFailed, L"Lumen Office", 0, 2);
    EndDialog(0);
  }
  return false;
}

void CMainDlg::OnNotify(const GxNotify& note) {
  if (note.Header.code != kNotifyClick) return;
  switch (note.ItemId) {
    case kItemMinimise:
    case kItemSettingsMinimise:
      PostMessageW(Window(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
      break;
    case kItemClose:
    case kItemSettingsClose:
      AskToLeave();
      break;
    case kItemInstall:
      Install();
      break;
    case IDOK:  // Enter
      if (View().FindItem(kItemInstall) && View().FindItem(kItemInstall)->IsEnabled()) Install();
      break;
    case kItemAgreement:
      Agreement = View().IsItemChecked(kItemAgreement) ? 1 : 0;
      View().SetItemEnabled(kItemInstall, Agreement != 0);
      break;
    case kItemSettingsLink:
      OpenSettings();
      break;
    case kItemBrowse:
      Browse();
      break;
    case kItemBack:
      Back();
      break;
    default:
      break;
  }
}

void CMainDlg::AskToLeave() {
  if (Zmsgbox::Show(Window(), kLeaveQuestion, L"Lumen Office", 1, 2) != 1) return;
  Engine.UserLeft();
  EndDialog(2);
}

void CMainDlg::OpenSettings() {
  if (!TakeDesktopUser(true)) return;
  const CGxWindow* folder = View().FindItem(kItemFolder);
  const std::wstring text = folder ? folder->Text : Folder;
  ShowItems({kItemMinimise, kItemClose, kItemProductText, kItemLogo, kItemMainPanel}, false);
  ShowItems({kItemSettingsMinimise, kItemSettingsClose, kItemSettingsPage}, true);
  if (!Offers.empty()) View().SetItemVisible(kItemOffer, false);
  ShowItems({kItemBackArrow, kItemBack}, true);
  EnableItems({kItemBrowse, kItemBack, kItemSettingsMinimise, kItemSettingsClose}, true);
  EnableItems({kItemMinimise, kItemClose}, false);
  if (!EditorMade) {
    PathEditor.SetRect(48, 77, 395, 101);
    EditorMade = PathEditor.Create(View().Window());
    PathEditor.SetText(text);
  }
  PathEditor.Show(View().Window());
}

void CMainDlg::Browse() {
  const sys::ComScope com;
  BROWSEINFOW info{};
  info.hwndOwner = GetActiveWindow();
  info.lpszTitle = L"请选择安装路径";
  info.ulFlags = 0x8041;
  PIDLIST_ABSOLUTE chosen = shell::SHBrowseForFolderW(&info);
  if (!chosen) return;
  wchar_t path[MAX_PATH] = {};
  const bool ok = shell::SHGetPathFromIDListW(chosen, path);
  CoTaskMemFree(chosen);
  if (!ok || !path[0]) return;
  std::wstring folder = path;
  if (folder.find(L"Lumen Office") == std::wstring::npos)
    folder += folder.back() == L'\\' ? L"Lumen Office" : L"\\Lumen Office";
  PathEditor.SetText(folder);
  Folder = ZFunction::WithSlash(folder);
}

void CMainDlg::Back() {
  SetFolderText(EditorMade ? PathEditor.GetText() : Folder);
  EnableItems({kItemBrowse, kItemBack}, false);
  ShowItems({kItemSettingsMinimise, kItemSettingsClose, kItemSettingsPage}, false);
  if (!Offers.empty()) View().SetItemVisible(kItemOffer, true);
  ShowItems({kItemBackArrow, kItemBack}, false);
  ShowItems({kItemMinimise, kItemClose, kItemProductText, kItemLogo, kItemMainPanel}, true);
  EnableItems({kItemSettingsMinimise, kItemSettingsClose}, false);
  EnableItems({kItemMinimise, kItemClose}, true);
  PathEditor.Hide();
}

void CMainDlg::Install() {
  if (Installing || !TakeDesktopUser(true)) return;
  const CGxWindow* folderItem = View().FindItem(kItemFolder);
  const std::wstring typed = EditorMade ? PathEditor.GetText() : folderItem ? folderItem->Text : Folder;
  const std::wstring refusal = CheckInstallFolder(typed, Engine.Checks(), &Folder);
  if (!refusal.empty()) {
    g_Log.Log("CMainDlg install folder refused:%ws (%ws)", Folder.c_str(), refusal.c_str());
    Zmsgbox::Show(Window(), refusal, L"Lumen Office", 0, 2);
    // The folder is what the user corrects next: the keys go to the path box, its text selected.
    if (EditorMade && IsWindowVisible(PathEditor.Window())) {
      SetFocus(PathEditor.Window());
      SendMessageW(PathEditor.Window(), EM_SETSEL, 0, -1);
    }
    return;
  }

  Installing = true;
  ProgressBar().SetImages(ResourceFolder + L"cgpb_fg.png", ResourceFolder + L"cgpb_bg.png", ResourceFolder + L"cgpb_polish.png");
  PathEditor.Hide();
  EnableItems({kItemMinimise}, true);
  EnableItems({kItemClose}, false);
  ShowItems({kItemMainPanel, kItemInstall}, false);
  ShowItems({kItemProgressPanel, kItemTipPanel, kItemHeaderPicture}, true);
  View().SetItemAttribute(kItemHeaderPicture, "skin", "second_jpg");
  SetTimer(Window(), kTimerEndPoll, TimerFactor * 10, nullptr);

  WizardChoices choices;
  choices.Folder = Folder;
  choices.Association = View().IsItemChecked(kItemAssociation) ? 1 : 0;
  choices.SaveFormat = View().IsItemChecked(kItemSaveFormat) ? 1 : 0;
  choices.DesktopIcon = View().IsItemChecked(kItemDesktopIcon) ? 1 : 0;
  for (size_t i = 0; i < Offers.size(); ++i) choices.Offers.push_back(View().IsItemChecked(kItemOffer) ? 1 : 0);
  if (!Offers.empty()) View().SetItemVisible(kItemOffer, false);

  ShowItems({kItemInstall, kItemSettingsPage, kItemBackArrow, kItemBack, kItemProductText, kItemLogo,
             kItemSettingsMinimise, kItemSettingsClose}, false);
  ShowItems({kItemMinimise, kItemClose, kItemFirstSlide}, true);
  SetTimer(Window(), kTimerSlides, 5000, nullptr);
  g_Log.Log("CMainDlg install folder:%ws", Folder.c_str());
  if (!Engine.StartInstall(choices, &CMainDlg::InstallProgressCallback, reinterpret_cast<INT_PTR>(Window()))) {
    g_Log.Log("CMainDlg the install did not start");
    KillTimer(Window(), kTimerEndPoll);
    EndDialog(0);
    return;
  }
  ProgressBar().Start(0);
}

// On the install thread: nothing here touches the dialog; the report goes to the window thread.
int CMainDlg::InstallProgressCallback(int percent, int step, int error, const wchar_t*, INT_PTR data) {
  PostMessageW(reinterpret_cast<HWND>(data), kMsgProgress, MAKEWPARAM(percent, step), error);
  return 0;
}

// The install thread has ended: the full bar is drawn, then the wizard closes.
void CMainDlg::FinishInstall() {
  if (Closing) return;
  Closing = true;
  for (UINT_PTR timer : {kTimerEndPoll, kTimerProgress, kTimerSlides}) KillTimer(Window(), timer);
  ProgressBar().Complete();
  g_Log.Log("EndDialog");
  EndDialog(0);
}

void CMainDlg::OnProgress(int percent, int step, int error) {
  if (Closing) return;
  if (step == kWizardThreadEnding) {  // its last act: the end poll need not wait for its next turn
    if (Engine.InstallEnded(kThreadEndingMs)) FinishInstall();
    return;
  }
  if (error == 2 || error == 3) {
    Closing = true;
    KillTimer(Window(), kTimerEndPoll);
    EndDialog(0);
    return;
  }
  g_Log.Log("OnInstallProgress nStep:%d, nProgress:%d, m_nProgressCount:%d", step, percent, m_nProgressCount);
  if (step >= 0 && step <= 4) View().SetItemVisible(kItemFirstTip + step, true);
  if (percent <= m_nProgressCount) return;
  LastPercent = percent;
  ProgressBar().SetStep(step);
  SetTimer(Window(), kTimerProgress, TimerFactor, nullptr);
}

void CMainDlg::OnTimer(UINT_PTR id) {
  switch (id) {
    case kTimerEndPoll:
      if (Engine.InstallEnded(0)) FinishInstall();
      break;
    case kTimerProgress:
      if (LastPercent >= 100) ProgressBar().SetPos(100);
      break;
    case kTimerDesktopUser:
      TakeDesktopUser(false);
      break;
    case kTimerPreload:
      KillTimer(Window(), kTimerPreload);
      SetIcons();
      if (Installing) break;  // the install writes straight from the packet
      if (!Engine.FirstPageShown() && !Closing) {
        Closing = true;
        EndDialog(0);
      }
      SetTimer(Window(), kTimerLicence, 20, nullptr);  // the window never waits for the payload folder
      break;
    case kTimerLicence:
      if (Engine.PayloadBeingWritten()) break;
      KillTimer(Window(), kTimerLicence);
      LinkLicence();
      break;
    case kTimerSlides: {  // 401, 402, 403 in turn
      AdState = AdState % 3 + 1;
      for (int i = 0; i < 3; ++i) View().SetItemVisible(kItemFirstSlide + i, i + 1 == AdState);
      break;
    }
    default:
      break;
  }
}

void CMainDlg::OnDpiChanged() {
  PathEditor.FollowDpi();
  ProgressBar().FollowDpi();
}

bool CMainDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case kMsgProgress:
      OnProgress(static_cast<short>(LOWORD(wParam)), static_cast<short>(HIWORD(wParam)), static_cast<int>(lParam));
      return true;
    case WM_TIMER:
      OnTimer(wParam);
      return true;
    case kMsgExtractTotal:
    case kMsgExtractWritten:
      if (!sys::IsOwnMessage(lParam)) {  // another program's: its pointer is not followed
        if (!StrangerLogged) g_Log.Log("CMainDlg message %u without this program's key ignored", message);
        StrangerLogged = true;
        return false;
      }
      if (message == kMsgExtractWritten) {
        if (const auto* amount = reinterpret_cast<const uint32_t*>(wParam)) ProgressBar().AddExtractionDone(*amount);
      } else if (const auto* total = reinterpret_cast<const unsigned long long*>(wParam))
        ProgressBar().SetExtractionTotal(static_cast<uint32_t>(*total), static_cast<uint32_t>(*total >> 32));
      return true;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != SC_CLOSE) return false;
      // Alt+F4 and the system menu: leave at once before the install, nothing during it.
      if (!(View().FindItem(kItemProgressPanel) && View().FindItem(kItemProgressPanel)->IsVisible())) EndDialog(2);
      *result = 0;
      return true;
    default:
      return false;
  }
}
