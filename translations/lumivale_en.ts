<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>CommandLine</name>
    <message>
        <source>Usage: lumivale [command]

Without a command, starts Lumivale or brings the running one to the front.
Commands for the running Lumivale:
  --status               the status line, the assignments and each display
  --pause                pause playback
  --resume               resume playback
  --toggle-pause         pause or resume, as the status menu does
  --next                 the next downloaded wallpaper on every display
  --stop                 take the wallpaper off every display
  --use ID               put a wallpaper on every display, downloading it first
    --display KEY        on one display instead (keys as --status shows them)
  --json                 print the state as JSON after the command
  --help, --version
</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ControlAdaptor</name>
    <message>
        <source>Lumivale is still starting.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No connected display has the key %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The library has no wallpaper with the id %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>That wallpaper is already downloading.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DropOverlay</name>
    <message>
        <source>Drop a video to use it as your wallpaper</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>EmptyState</name>
    <message>
        <source>The library can&apos;t load right now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nothing here yet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Loading the library</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check your connection, or add a video of your own.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add a video of your own, or drop one on this window.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Try again</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>EngineTexts</name>
    <message>
        <source>by you</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>screen off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>on battery</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Low Power Mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mac is hot</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>covered</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No wallpaper set</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Paused: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Playing</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>InterfaceTexts</name>
    <message>
        <source>All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Your videos</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Downloaded</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All displays</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Display</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set on </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete download</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel download</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add video</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Videos</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LibraryStore</name>
    <message>
        <source>That wallpaper didn&apos;t download. Check your connection and try again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 can&apos;t be used. Try an MP4 or MOV video.</source>
        <extracomment>%1 is the name of the file.</extracomment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LibraryView</name>
    <message>
        <source>Lumivale</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Resume</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pause</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add video</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settings</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ProblemAlert</name>
    <message>
        <source>Lumivale</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SettingsView</name>
    <message>
        <source>Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start when I log in</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pause on battery</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pause when windows cover the wallpaper</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Version</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Get help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Done</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ShellTexts</name>
    <message>
        <source>Open Lumivale</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pause</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Resume</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next wallpaper</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop wallpaper</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check for updates</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quit Lumivale</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lumivale</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About Lumivale</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Live video wallpapers for your desktop.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>GNU General Public License, version 3 or later</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Software Update</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Checking for updates…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lumivale is up to date.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Version %1 is available.</source>
        <extracomment>%1 is the new version.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lumivale couldn&apos;t check for updates.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Download Page</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lumivale is not running.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>WallpaperCard</name>
    <message>
        <source>Playing</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
