#include "VnUninstallTexts.h"

#include "VnCp1251.h"

const TVnUninstallTexts& UninstallTexts(const std::string& language) {
    static const TVnUninstallTexts english = {
        "Removal of %s",
        "Remove %s from %s? Your configuration, mail and logs are kept.",
        "%s has been removed from %s. Your configuration, mail and logs are kept.",
        "There is no intact installation record \"%s\": nothing has been removed.",
        "The file \"%s\" is in use. Close the program that uses it and run the uninstaller "
        "again; nothing has been removed.",
        "Removal of the installation in \"%s\"",
        "Removed \"%s\"",
        "Kept \"%s\": changed since its installation",
        "Kept \"%s\": reached through a link",
        "Kept \"%s\": it cannot be deleted (%s)",
        "Kept the folder \"%s\": it holds files of its own",
        "Service %s stopped",
        "Service %s did not stop: %s",
        "Service %s started again",
        "Service %s could not be started again: %s",
        "Service %s deleted",
        "Service %s could not be deleted: %s",
        "Registration %s removed",
    };
    static const TVnUninstallTexts russian = {
        VN_CP1251("Удаление %s"),
        VN_CP1251("Удалить %s из папки %s? Настройки, почта и журналы сохранятся."),
        VN_CP1251("%s удалён из папки %s. Настройки, почта и журналы сохранены."),
        VN_CP1251("Нет исправного описания установки \"%s\": ничего не удалено."),
        VN_CP1251("Файл \"%s\" занят. Закройте программу, которая его использует, и запустите "
                  "удаление снова; ничего не удалено."),
        VN_CP1251("Удаление установки в папке \"%s\""),
        VN_CP1251("Удалено \"%s\""),
        VN_CP1251("Сохранено \"%s\": изменён после установки"),
        VN_CP1251("Сохранено \"%s\": путь ведёт через ссылку"),
        VN_CP1251("Сохранено \"%s\": его нельзя удалить (%s)"),
        VN_CP1251("Сохранена папка \"%s\": в ней есть свои файлы"),
        VN_CP1251("Служба %s остановлена"),
        VN_CP1251("Служба %s не остановилась: %s"),
        VN_CP1251("Служба %s снова запущена"),
        VN_CP1251("Службу %s не удалось снова запустить: %s"),
        VN_CP1251("Служба %s удалена"),
        VN_CP1251("Службу %s не удалось удалить: %s"),
        VN_CP1251("Регистрация %s удалена"),
    };
    return language == "ru" ? russian : english;
}
