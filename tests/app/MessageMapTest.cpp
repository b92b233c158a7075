// How the class layer hands window messages to handlers: which table row
// wins, and what the handlers receive and return.
#include "CDialog.h"
#include "ShownDialog.h"

#include "resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
class MapDialog : public CDialog
{
public:
    MapDialog() : CDialog(IDD_EXTRACTOR) {}

    std::vector<std::string> calls;
    UINT flags = 0;
    CPoint point{12345, 12345};
    HICON dragIcon = ::LoadIconA(nullptr, IDI_INFORMATION);

protected:
    static const MessageMap* ThisMessageMap()
    {
        static const MessageMapEntry entries[] = {
            OnMessage<&MapDialog::OnLButtonDown>(WM_LBUTTONDOWN),
            OnMessage<&MapDialog::OnQueryDragIcon>(WM_QUERYDRAGICON),
            OnCommand<&MapDialog::OnOkClicked>(BN_CLICKED, IDOK),
        };
        static const MessageMap map(CDialog::ThisMessageMap(), entries);
        return &map;
    }
    const MessageMap* GetMessageMap() const override { return ThisMessageMap(); }

    void OnLButtonDown(UINT keys, CPoint at)
    {
        calls.push_back("OnLButtonDown");
        flags = keys;
        point = at;
    }
    HCURSOR OnQueryDragIcon() { return static_cast<HCURSOR>(dragIcon); }
    void OnOkClicked() { calls.push_back("OnOkClicked"); }
    void OnOK() override { calls.push_back("OnOK"); }
};
}

TEST(MessageMap, HandlersGetTheirArgumentsAndTheDerivedRowWins)
{
    ShownDialog<MapDialog> dialog;
    dialog.whenShown = [&] {
        HWND window = dialog.m_hWnd;

        // Left of and above the client area the coordinates are negative.
        const struct
        {
            int x, y;
        } points[] = {{-5, -7}, {300, 200}, {-32768, 32767}};
        for (const auto& p : points)
        {
            ::SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(p.x, p.y));
            EXPECT_EQ(static_cast<UINT>(MK_LBUTTON | MK_SHIFT), dialog.flags);
            EXPECT_EQ(p.x, dialog.point.x);
            EXPECT_EQ(p.y, dialog.point.y);
        }

        EXPECT_EQ(reinterpret_cast<LRESULT>(dialog.dragIcon), ::SendMessageA(window, WM_QUERYDRAGICON, 0, 0));

        // The derived table's row for IDOK comes before the base's, which
        // would end the dialog through OnOK.
        dialog.calls.clear();
        ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        EXPECT_EQ(std::vector<std::string>{"OnOkClicked"}, dialog.calls);
        // A command no row names reaches nobody's handler.
        dialog.calls.clear();
        ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, 1), 0);
        EXPECT_TRUE(dialog.calls.empty());
    };
    EXPECT_EQ(ShownDialog<MapDialog>::kChecked, dialog.DoModal());
}
