// Opens the song window on a loops folder with a song of its factory loops,
// the second entry playing and one preset missing, as the guide's picture
// shows it (scripts/make-song-window-screenshot.sh).
//
//   show_song_window LOOPS_FOLDER

#include "loops/PresetList.h"
#include "song/SongWindow.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const std::filesystem::path loops = argv[1];
    zumbal::SongWindow window(loops);
    window.setPresets(zumbal::listLoopFiles(loops));
    const zumbal::Song song{"Friday set",
                            {{4, {}, "Rock Eighths"},
                             {8, 9, "Funk Ghosts"},
                             {2, 9, "Drum n Bass"},
                             {4, {}, "Old Break"},
                             {8, 7, "Boom Bap"},
                             {1, {}, "Ballad Slow"}}};
    const std::filesystem::path file = loops / zumbal::kSongsFolder / "Friday set";
    std::filesystem::create_directories(file.parent_path());
    std::string error;
    if (!zumbal::readSongFile(file, error)) {
        window.setSong(song, {});
        window.dialogs.saveName = [](const QString& name) { return std::optional(name); };
        window.saveAs();
    }
    window.openFile(file);
    window.entryList->setCurrentItem(window.entryList->topLevelItem(2));
    window.showPlaying(1, 3);
    window.entryList->setFocus();
    window.show();
    return QApplication::exec();
}
