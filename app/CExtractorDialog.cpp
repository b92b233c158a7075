#include "CExtractorDialog.h"

#include "CAboutDialog.h"
#include "CPaintDC.h"
#include "CWinApp.h"
#include "CacheRoot.h"
#include "ExtractCacheFiles.h"
#include "resource.h"

#include <shlobj.h>

namespace
{
const char kPromptCaption[] = "提示";
const char* const kFileTypes[] = {"swf", "flv", "mp3", "mp4", "jpg", "png", "avi", "wmv", "rmvb", "rm", "mid"};
// Index of "flv" once the combo box has sorted the list.
const int kDefaultTypeIndex = 1;

// Runs the shell's folder browser. The chosen folder is empty when the
// browser was cancelled or the choice has no file-system path (a virtual
// folder: whatever the shell leaves in the buffer then names no folder).
// FALSE when the shell's allocator is not to be had.
bool BrowseForFolder(CString& chosen)
{
    char displayName[MAX_PATH] = "";
    BROWSEINFOA info = {};
    info.hwndOwner = nullptr;
    info.pidlRoot = nullptr;
    info.pszDisplayName = displayName;
    info.lpszTitle = "选择缓存文件接收路径";
    info.ulFlags = BIF_EDITBOX;
    info.lpfn = nullptr;

    LPITEMIDLIST item = ::SHBrowseForFolderA(&info);
    chosen.Empty();
    if (item && ::SHGetPathFromIDListA(item, displayName))
        chosen = displayName;

    IMalloc* allocator = nullptr;
    if (FAILED(::SHGetMalloc(&allocator)) || !allocator)
        return false;
    allocator->Free(item);
    allocator->Release();
    return true;
}
}

const MessageMap* CExtractorDialog::ThisMessageMap()
{
    static const MessageMapEntry entries[] = {
        OnMessage<&CExtractorDialog::OnSysCommand>(WM_SYSCOMMAND),
        OnMessage<&CExtractorDialog::OnPaint>(WM_PAINT),
        OnMessage<&CExtractorDialog::OnQueryDragIcon>(WM_QUERYDRAGICON),
        OnCommand<&CExtractorDialog::OnBrowseClicked>(BN_CLICKED, IDC_BROWSE),
        OnCommand<&CExtractorDialog::OnExtractClicked>(BN_CLICKED, IDC_EXTRACT),
        OnMessage<&CExtractorDialog::OnLButtonDown>(WM_LBUTTONDOWN),
        OnMessage<&CExtractorDialog::OnClose>(WM_CLOSE),
        OnMessage<&CExtractorDialog::OnMouseMove>(WM_MOUSEMOVE),
    };
    static const MessageMap map(CDialog::ThisMessageMap(), entries);
    return &map;
}

CExtractorDialog::CExtractorDialog(CWnd* parent)
    : CDialog(IDD_EXTRACTOR, parent),
      m_hIcon(::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAIN_ICON)))
{
}

void CExtractorDialog::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LOGO, m_picture);
    DDX_Control(pDX, IDC_FILE_TYPE, m_typeCombo);
    DDX_Text(pDX, IDC_SAVE_PATH, m_savePath);
    DDX_CBString(pDX, IDC_FILE_TYPE, m_fileType);
}

BOOL CExtractorDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    AddAboutItem();

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    if (m_picture.LoadFromResource(MAKEINTRESOURCEA(IDR_LOGO_GIF), "GIF"))
        m_picture.Show();

    // The save path can only come from the folder browser.
    ::SendMessageA(GetDlgItem(IDC_SAVE_PATH), EM_SETREADONLY, TRUE, 0);

    FillTypeList();
    m_typeCombo.SetCurSel(kDefaultTypeIndex);
    return TRUE;
}

void CExtractorDialog::AddAboutItem() const
{
    HMENU systemMenu = GetSystemMenu(FALSE);
    if (!systemMenu)
        return;
    CString text;
    if (!text.LoadString(IDS_ABOUT_MENU))
        return;
    ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUT, text);
}

void CExtractorDialog::ShowAbout() const
{
    CAboutDialog about;
    about.DoModal();
}

void CExtractorDialog::OnSysCommand(UINT id, LPARAM lParam)
{
    if ((id & 0xFFF0) == IDM_ABOUT)
        ShowAbout();
    else
        CDialog::OnSysCommand(id, lParam);
}

RECT CExtractorDialog::LogoRect() const
{
    RECT logo;
    m_picture.GetWindowRect(&logo);
    ScreenToClient(&logo);
    return logo;
}

void CExtractorDialog::OnLButtonDown(UINT flags, CPoint point)
{
    // The logo static has no SS_NOTIFY, so clicks on it come to the dialog.
    const RECT logo = LogoRect();
    if (::PtInRect(&logo, point))
        ShowAbout();
    CDialog::OnLButtonDown(flags, point);
}

void CExtractorDialog::OnMouseMove(UINT flags, CPoint point)
{
    // Where the cursor is now, not where the message says it was.
    const RECT logo = LogoRect();
    POINT cursor;
    ::GetCursorPos(&cursor);
    ScreenToClient(&cursor);
    if (::PtInRect(&logo, cursor))
        ::SetCursor(::LoadCursorA(nullptr, IDC_HAND));
    CDialog::OnMouseMove(flags, point);
}

void CExtractorDialog::FillTypeList()
{
    for (const char* type : kFileTypes)
        m_typeCombo.AddString(type);
}

void CExtractorDialog::OnBrowseClicked()
{
    // A type typed but not yet saved would be lost by the write-back below.
    UpdateData(TRUE);

    CString chosen;
    if (!BrowseForFolder(chosen))
        return;
    m_savePath = chosen;
    UpdateData(FALSE);
}

// The caption reads "正在提取..." only while both buttons are off: they go
// off before it changes and come back only after it reads "设置" again.
void CExtractorDialog::ShowExtracting(bool extracting)
{
    if (extracting)
    {
        ::EnableWindow(GetDlgItem(IDC_BROWSE), FALSE);
        ::EnableWindow(GetDlgItem(IDC_EXTRACT), FALSE);
        SetDlgItemText(IDC_SETTINGS_GROUP, "正在提取...");
    }
    else
    {
        SetDlgItemText(IDC_SETTINGS_GROUP, "设置");
        ::EnableWindow(GetDlgItem(IDC_BROWSE), TRUE);
        ::EnableWindow(GetDlgItem(IDC_EXTRACT), TRUE);
    }
}

void CExtractorDialog::OnExtractClicked()
{
    UpdateData(TRUE);
    if (m_fileType.IsEmpty())
    {
        MessageBox("请选择或输入文件类型", kPromptCaption, MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (m_savePath.IsEmpty())
    {
        MessageBox("请选择保存路径", kPromptCaption, MB_OK | MB_ICONINFORMATION);
        return;
    }

    ShowExtracting(true);
    // The walk blocks this thread; without this the user would not see the
    // disabled buttons and the caption until it is over.
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    ExtractCacheFiles(CACHE_ROOT, m_savePath, m_fileType);
    ShowExtracting(false);

    if (MessageBox("提取完成,是否打开文件夹", kPromptCaption, MB_YESNO | MB_ICONQUESTION) == IDYES)
        ::ShellExecuteA(nullptr, "open", m_savePath, nullptr, nullptr, SW_SHOW);
}

void CExtractorDialog::OnPaint()
{
    if (IsIconic())
    {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);

        const int iconWidth = ::GetSystemMetrics(SM_CXICON);
        const int iconHeight = ::GetSystemMetrics(SM_CYICON);
        RECT client;
        GetClientRect(&client);
        const int x = (client.right - client.left - iconWidth + 1) / 2;
        const int y = (client.bottom - client.top - iconHeight + 1) / 2;
        ::DrawIcon(dc, x, y, m_hIcon);
    }
    else
    {
        CDialog::OnPaint();
    }
}

HCURSOR CExtractorDialog::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

void CExtractorDialog::OnClose()
{
    CDialog::OnClose();
}
