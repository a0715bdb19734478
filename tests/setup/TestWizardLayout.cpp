// The wizard's layout on the model: on every page, in both languages and in every state, no two
// showing controls overlap unless one is meant to lie on the other, everything stays inside the
// window and inside the frame it touches, and every one-line caption fits its control.
#include <limits>
#include <sstream>
#include <utility>

#include <gtest/gtest-spi.h>

#include "SetupTestSupport.h"
#include "VnSysUtils.h"

namespace {

// The room a push button needs besides its caption: its edge and the focus rectangle.
constexpr int ButtonPadding = 8;

// Bounds in the form's client area.
TVnRect OnForm(const TVnControl& control) {
    TVnRect rect = control.Bounds();
    for (const TVnControl* parent = control.Parent(); parent && parent->Parent();
         parent = parent->Parent()) {
        rect.Left += parent->Left();
        rect.Top += parent->Top();
    }
    return rect;
}

bool Intersect(const TVnRect& a, const TVnRect& b) {
    return a.Left < b.Right() && b.Left < a.Right() && a.Top < b.Bottom() && b.Top < a.Bottom();
}

bool Contains(const TVnRect& outer, const TVnRect& inner) {
    return inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right() <= outer.Right() &&
           inner.Bottom() <= outer.Bottom();
}

bool IsFrame(const TVnControl& control) {
    auto* bevel = dynamic_cast<const TVnBevel*>(&control);
    return bevel && bevel->Shape() == TVnBevel::TShape::Frame;
}

std::string Describe(const TVnControl& control) {
    const TVnRect r = OnForm(control);
    std::ostringstream text;
    text << control.Name() << " (" << r.Left << ", " << r.Top << ", " << r.Width << " x "
         << r.Height << ")";
    return text.str();
}

// The controls that show, without the notebook and its pages that only hold them.
void CollectShowing(const TVnWinControl& container, std::vector<const TVnControl*>& showing) {
    for (const TVnControl* control : container.Controls()) {
        if (!IsShowing(*control))
            continue;
        if (dynamic_cast<const TVnNotebook*>(control) || dynamic_cast<const TVnPage*>(control))
            CollectShowing(*static_cast<const TVnWinControl*>(control), showing);
        else
            showing.push_back(control);
    }
}

// The width a one-line caption needs in its control; 0 for controls without one.
int NeededWidth(const TVnControl& control) {
    const auto text = [&] {
        const TVnSize size = UIServices().TextExtent(control.Caption(), control.Bold(), 0);
        return size.Height > control.Height() ? std::numeric_limits<int>::max()
                                              : size.Width; // not one line
    };
    if (auto* label = dynamic_cast<const TVnLabel*>(&control))
        return label->WordWrap() ? 0 : text();
    if (dynamic_cast<const TVnCheckBox*>(&control) || dynamic_cast<const TVnRadioButton*>(&control))
        return text() + (control.Height() * 112 + 50) / 100; // the mark, as FitCheckWidth counts it
    if (dynamic_cast<const TVnButton*>(&control))
        return text() + ButtonPadding;
    if (auto* list = dynamic_cast<const TVnComboBox*>(&control)) {
        int widest = 0;
        for (const TVnListItem& item : list->Items())
            widest = std::max(widest, UIServices().TextExtent(item.Text, false, 0).Width);
        return widest + control.Height(); // the square drop-down button
    }
    return 0;
}

class LayoutTest : public WizardTest {
protected:
    struct TState {
        bool Russian, Administrator, ExistingDatabase, ConsoleOnly;
    };

    // Checks the page as it shows now; step names the moment.
    void CheckLayout(const std::string& step) {
        std::ostringstream where;
        where << (FState.Russian ? "ru" : "en") << (FState.Administrator ? ", administrator" : "")
              << (FState.ExistingDatabase ? ", existing database" : ", new database")
              << (FState.ConsoleOnly ? ", console only" : ", full") << ", page "
              << Form->PageIndex() << ", " << step << ": ";
        std::vector<const TVnControl*> showing;
        CollectShowing(*Form, showing);
        const TVnRect window{0, 0, Form->Width(), Form->Height()};
        for (size_t i = 0; i < showing.size(); ++i) {
            const TVnControl& a = *showing[i];
            if (!Contains(window, OnForm(a)))
                ADD_FAILURE() << where.str() << Describe(a) << " is not inside the window";
            if (const int needed = NeededWidth(a); needed > a.Width())
                ADD_FAILURE() << where.str() << Describe(a) << " cuts its text \"" << a.Caption()
                              << "\" (needs " << needed << ")";
            for (size_t j = i + 1; j < showing.size(); ++j) {
                const TVnControl& b = *showing[j];
                if (Intersect(OnForm(a), OnForm(b)) && !MeantToOverlap(a, b))
                    ADD_FAILURE() << where.str() << Describe(a) << " overlaps " << Describe(b);
            }
        }
    }

    // A frame holds what lies wholly in it; the picture lies on its ground; the bold word lies
    // over the blanks at the start of the folder note.
    static bool MeantToOverlap(const TVnControl& a, const TVnControl& b) {
        if ((IsFrame(a) && Contains(OnForm(a), OnForm(b))) ||
            (IsFrame(b) && Contains(OnForm(b), OnForm(a))))
            return true;
        const auto pair = [&](const char* x, const char* y) {
            return (a.Name() == x && b.Name() == y) || (a.Name() == y && b.Name() == x);
        };
        return pair("imgMain", "shpImage") || pair("lblFolderImportant", "lblFolderInfo");
    }

    // Runs the wizard from the first page to the end in state, checking every page in every
    // state the user can bring it to.
    void CheckRun(const TState& state, const std::string& folder) {
        FState = state;
        Services.Administrator = state.Administrator;
        Application = std::make_unique<TVnComponent>(nullptr);
        Start();
        CheckLayout("English at start");
        if (state.Russian) {
            Form->cobLanguage->Select(
                Form->cobLanguage->IndexOfData(TVnLanguage::CodeToData("ru")));
            CheckLayout("language chosen");
        }
        Next();
        CheckLayout("shown");
        Form->chbAccept->Click();
        Next();
        CheckLayout("shown");
        Form->rbtConsoleSetup->Click();
        CheckLayout("console only chosen");
        Form->rbtFullSetup->Click();
        bool checkedExtraction = false;
        Form->OnExtract = [&](const std::string&, bool) {
            if (!std::exchange(checkedExtraction, true))
                CheckLayout("extracting");
        };
        ASSERT_TRUE(InstallInto(folder, state.ConsoleOnly));
        EXPECT_TRUE(checkedExtraction);
        if (Form->PageIndex() == TfrmMain::pgAdmin) {
            EXPECT_EQ(state.ExistingDatabase, Form->chbPassword->Visible());
            CheckLayout("shown");
            if (Form->chbPassword->Visible()) {
                Form->chbPassword->Click();
                CheckLayout("password box ticked");
                Form->chbPassword->Click();
                CheckLayout("password box unticked");
            } else {
                Form->edtPassword->Type("pw");
                Form->edtConfirm->Type("pw");
            }
            Next();
        }
        ASSERT_EQ(TfrmMain::pgFinish, Form->PageIndex());
        CheckLayout("shown");
        Form->chbStartServer->Click();
        CheckLayout("start unticked");
        Next();
        EXPECT_TRUE(Form->Closed());
    }

    TState FState{};
};

TEST_F(LayoutTest, NothingOverlapsOrCutsItsTextOnAnyPageInAnyState) {
    for (const bool russian : {false, true})
        for (const bool administrator : {true, false}) {
            const std::string folder = Target / (std::string(russian ? "ru" : "en") +
                                                 (administrator ? "-admin" : "-user"));
            CheckRun({russian, administrator, false, false}, folder);
            CheckRun({russian, administrator, true, false}, folder);
            CheckRun({russian, administrator, false, true}, folder + "-console");
        }
}

TEST_F(LayoutTest, FailsWhenTwoControlsOverlap) {
    Start();
    Form->lblCopyright->SetTop(Form->lblWebSite->Top());
    EXPECT_NONFATAL_FAILURE(CheckLayout("moved"), "lblWebSite");
}

} // namespace
