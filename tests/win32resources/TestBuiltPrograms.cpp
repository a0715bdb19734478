// The resources of the built Windows programs of this build tree: manifests, version
// information, the application icon, and the large-address-aware flag.
#include <algorithm>

#include <gtest/gtest.h>

#include "PEResources.h"
#include "VnResources.h"
#include "VnTestSupport.h"

namespace {

const std::string SetupProgram = VNT_BINARY_DIR "/src/VNT_Setup.exe";
const std::string ToolProgram = VNT_BINARY_DIR "/src/tools/vntsetup.exe";

const uint16_t LargeAddressAware = 0x0020; // IMAGE_FILE_LARGE_ADDRESS_AWARE

// The opening tag of the first element with this name ("" when there is none) and its content.
struct TElement {
    std::string Tag, Content;
};
TElement FindElement(const std::string& xml, const std::string& name) {
    for (size_t at = xml.find("<" + name); at != std::string::npos;
         at = xml.find("<" + name, at + 1)) {
        const size_t afterName = at + 1 + name.size();
        if (afterName >= xml.size() ||
            std::string(" \t\r\n/>").find(xml[afterName]) == std::string::npos)
            continue; // a longer name with the same beginning
        const size_t tagEnd = xml.find('>', at);
        if (tagEnd == std::string::npos)
            break;
        TElement element{xml.substr(at, tagEnd + 1 - at), ""};
        if (xml[tagEnd - 1] != '/') {
            const size_t close = xml.find("</" + name + ">", tagEnd);
            if (close != std::string::npos)
                element.Content = xml.substr(tagEnd + 1, close - tagEnd - 1);
        }
        return element;
    }
    return {};
}

bool HasAttribute(const TElement& element, const std::string& name, const std::string& value) {
    return element.Tag.find(" " + name + "=\"" + value + "\"") != std::string::npos;
}

std::string Manifest(const TPEImage& image) {
    const std::optional<std::string> manifest = image.Resource(ResManifest, 1);
    return manifest ? *manifest : "";
}

// Every system from Windows Vista to Windows 10 and 11 is declared supported.
void ExpectSupportedSystems(const std::string& manifest) {
    for (const char* id : {"{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
                           "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
                           "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
                           "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
                           "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) // 10 and 11
        EXPECT_NE(manifest.find("<supportedOS Id=\"" + std::string(id) + "\"/>"), std::string::npos)
            << id;
    EXPECT_TRUE(HasAttribute(FindElement(manifest, "compatibility"), "xmlns",
                             "urn:schemas-microsoft-com:compatibility.v1"));
}

void ExpectExecutionLevel(const std::string& manifest, const std::string& level) {
    EXPECT_TRUE(HasAttribute(FindElement(manifest, "trustInfo"), "xmlns",
                             "urn:schemas-microsoft-com:asm.v3"));
    const TElement request = FindElement(manifest, "requestedExecutionLevel");
    EXPECT_TRUE(HasAttribute(request, "level", level)) << request.Tag;
    EXPECT_TRUE(HasAttribute(request, "uiAccess", "false")) << request.Tag;
}

void ExpectProductVersion(const TPEImage& image, const std::string& fileName,
                          const std::string& description) {
    const std::optional<std::string> data = image.Resource(ResVersion, 1);
    ASSERT_TRUE(data) << "no version resource";
    TVersionInfo info = ParseVersionInfo(*data);
    EXPECT_EQ(info.Strings["ProductName"], "Vantro Mail Server");
    EXPECT_EQ(info.Strings["ProductVersion"], "3.08");
    EXPECT_EQ(info.Strings["FileVersion"], "3.8.0.0");
    EXPECT_EQ(info.FileVersionMS, 0x00030008u);
    EXPECT_EQ(info.FileVersionLS, 0u);
    EXPECT_EQ(info.ProductVersionMS, 0x00030008u);
    EXPECT_EQ(info.Strings["FileDescription"], description);
    EXPECT_EQ(info.Strings["OriginalFilename"], fileName);
    // The language file's copyright line (Windows-1251 there), in UTF-16 here.
    EXPECT_EQ(info.Strings["LegalCopyright"],
              "Copyright \u00A9 2003\u20132011 Vantro Mail Server authors");
    EXPECT_NE(ReadBytes(SourcePath("payload/VNT_Setup.lng"))
                  .find("\"lblCopyright\"><en>Copyright \xA9 2003\x96"
                        "2011 Vantro Mail Server authors</en>"),
              std::string::npos);
}

TEST(BuiltPrograms, SetupManifestAsksForHighestLevelWithVisualStylesAndDpiAwareness) {
    const std::string manifest = Manifest(TPEImage(SetupProgram));
    ASSERT_FALSE(manifest.empty()) << "no manifest (type 24, id 1) in " << SetupProgram;
    ExpectExecutionLevel(manifest, "highestAvailable");

    const TElement controls =
        FindElement(FindElement(manifest, "dependentAssembly").Content, "assemblyIdentity");
    EXPECT_TRUE(HasAttribute(controls, "type", "win32"));
    EXPECT_TRUE(HasAttribute(controls, "name", "Microsoft.Windows.Common-Controls"));
    EXPECT_TRUE(HasAttribute(controls, "version", "6.0.0.0"));
    EXPECT_TRUE(HasAttribute(controls, "processorArchitecture", "*"));
    EXPECT_TRUE(HasAttribute(controls, "publicKeyToken", "6595b64144ccf1df"));

    const TElement settings =
        FindElement(FindElement(manifest, "application").Content, "windowsSettings");
    const TElement dpiAware = FindElement(settings.Content, "dpiAware");
    EXPECT_TRUE(
        HasAttribute(dpiAware, "xmlns", "http://schemas.microsoft.com/SMI/2005/WindowsSettings"));
    EXPECT_EQ(dpiAware.Content, "true/pm");
    const TElement dpiAwareness = FindElement(settings.Content, "dpiAwareness");
    EXPECT_TRUE(HasAttribute(dpiAwareness, "xmlns",
                             "http://schemas.microsoft.com/SMI/2016/WindowsSettings"));
    EXPECT_EQ(dpiAwareness.Content, "PerMonitorV2, PerMonitor");

    ExpectSupportedSystems(manifest);
}

TEST(BuiltPrograms, ToolManifestRunsAsInvoker) {
    const std::string manifest = Manifest(TPEImage(ToolProgram));
    ASSERT_FALSE(manifest.empty()) << "no manifest (type 24, id 1) in " << ToolProgram;
    ExpectExecutionLevel(manifest, "asInvoker");
    ExpectSupportedSystems(manifest);
}

TEST(BuiltPrograms, BothCarryTheProductVersion) {
    ExpectProductVersion(TPEImage(SetupProgram), "VNT_Setup.exe",
                         "Setup of Vantro Mail Server 3.08");
    ExpectProductVersion(TPEImage(ToolProgram), "vntsetup.exe",
                         "Packing, checking and unattended setup of Vantro Mail Server 3.08");
}

TEST(BuiltPrograms, SetupIconHoldsThreeSizes) {
    const TPEImage image(SetupProgram);
    const std::optional<std::string> group = image.Resource(ResGroupIcon, IDI_APP);
    ASSERT_TRUE(group) << "no icon group " << IDI_APP;
    std::vector<unsigned> sizes;
    for (const TIconEntry& entry : ParseIconGroup(*group)) {
        EXPECT_EQ(entry.Width, entry.Height);
        const std::optional<std::string> icon = image.Resource(ResIcon, entry.IconId);
        ASSERT_TRUE(icon) << "the group names the missing icon " << entry.IconId;
        const TIconSize size = IconImageSize(*icon);
        EXPECT_EQ(size.Width, entry.Width);
        EXPECT_EQ(size.Height, entry.Height);
        sizes.push_back(entry.Width);
    }
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (std::vector<unsigned>{16, 32, 48}));
}

// The 32-bit programs get 4 GB of address space on 64-bit Windows only when they say so; the
// 64-bit linker sets the flag by default, and without it a 64-bit program is held below 2 GB.
TEST(BuiltPrograms, BothAreLargeAddressAware) {
    for (const std::string& program : {SetupProgram, ToolProgram}) {
        const TPEImage image(program);
        EXPECT_TRUE(image.Characteristics() & LargeAddressAware)
            << program << (image.IsPE32Plus() ? " (PE32+)" : " (PE32)");
    }
}

TEST(BuiltPrograms, ReaderRefusesWhatIsNoImage) {
    TTempFolder folder;
    WriteBytes(folder / "text.exe", std::string(200, 'x'));
    EXPECT_THROW(TPEImage(folder / "text.exe"), std::runtime_error);
    std::string truncated = ReadBytes(ToolProgram).substr(0, 0x200);
    WriteBytes(folder / "truncated.exe", truncated);
    EXPECT_THROW(TPEImage(folder / "truncated.exe").Resource(ResManifest, 1), std::runtime_error);
}

} // namespace
