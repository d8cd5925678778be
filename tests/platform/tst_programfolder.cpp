// Where the program's files live: beside a portable executable, in the user's configuration folder for an
// installed one.
#include "common/testtree.h"
#include "platform/programfolder.h"

#include <QTest>
#include <sys/stat.h>

using namespace vell;

class TestProgramFolder : public QObject
{
    Q_OBJECT
private slots:
    void choice_data()
    {
        QTest::addColumn<QByteArrayList>("layout");
        QTest::addColumn<QString>("configHome"); // "~" for the tree itself
        QTest::addColumn<QByteArray>("expected"); // relative to the tree
        QTest::addColumn<bool>("portable");
        // The executable is always usr/bin/vell of the tree.
        QTest::newRow("writable, not installed") << QByteArrayList{"usr/bin/"} << "~/xdg" << QByteArray("usr/bin") << true;
        QTest::newRow("installed layout") << QByteArrayList{"usr/bin/", "usr/share/vell/"} << "~/xdg"
                                          << QByteArray("xdg/Vell") << false;
        QTest::newRow("installed, but settings beside it")
            << QByteArrayList{"usr/bin/Vell.ini=", "usr/share/vell/"} << "~/xdg" << QByteArray("usr/bin") << true;
        QTest::newRow("installed, but couples beside it")
            << QByteArrayList{"usr/bin/Vell.w=", "usr/share/vell/"} << "~/xdg" << QByteArray("usr/bin") << true;
        QTest::newRow("relative XDG_CONFIG_HOME is ignored")
            << QByteArrayList{"usr/bin/", "usr/share/vell/"} << "xdg" << QByteArray("home/.config/Vell") << false;
        QTest::newRow("a folder of settings named Vell.ini does not count")
            << QByteArrayList{"usr/bin/Vell.ini/", "usr/share/vell/"} << "~/xdg" << QByteArray("xdg/Vell") << false;
    }
    void choice()
    {
        QFETCH(QByteArrayList, layout);
        QFETCH(QString, configHome);
        QFETCH(QByteArray, expected);
        QFETCH(bool, portable);
        TestTree tree;
        QVERIFY(tree.build(layout));
        configHome.replace("~", tree.rootText());
        const ProgramFolderChoice choice =
            ChooseProgramFolder(tree.pathText("usr/bin"), configHome, tree.pathText("home"));
        QCOMPARE(choice.folder, tree.pathText(expected));
        QCOMPARE(choice.portable, portable);
        QVERIFY(choice.error.isEmpty());
        QVERIFY(tree.isDir(expected));
        QCOMPARE(choice.dataFolder, tree.isDir("usr/share/vell") ? tree.pathText("usr/share/vell") : QString());
        if (!portable) { // made private: the settings name the user's folders
            struct stat st{};
            QCOMPARE(::stat(tree.path(expected).constData(), &st), 0);
            QCOMPARE(st.st_mode & 0777, 0700u);
        }
    }

    void noFolderIsAnErrorNotACrash()
    {
        TestTree tree;
        QVERIFY(tree.build({"usr/bin/", "usr/share/vell/", "xdg="})); // the configuration "folder" is a file
        ProgramFolderChoice choice = ChooseProgramFolder(tree.pathText("usr/bin"), tree.pathText("xdg"), {});
        QVERIFY(choice.folder.isEmpty());
        QCOMPARE(choice.error, tree.pathText("xdg/Vell") + ": Not a directory");
        choice = ChooseProgramFolder(tree.pathText("usr/bin"), {}, {});
        QVERIFY(choice.folder.isEmpty() && !choice.error.isEmpty());
    }
};

QTEST_MAIN(TestProgramFolder)
#include "tst_programfolder.moc"
