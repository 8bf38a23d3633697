<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>CupsQueue</name>
    <message>
        <source>The printer “%1” refused the document: %2.</source>
        <translation>Der Drucker „%1“ hat das Dokument abgelehnt: %2.</translation>
    </message>
    <message>
        <source>The printer “%1” cannot be reached: %2.</source>
        <translation>Der Drucker „%1“ ist nicht erreichbar: %2.</translation>
    </message>
</context>
<context>
    <name>DirListBox</name>
    <message>
        <source>The folder “%1” does not exist.</source>
        <translation>Der Ordner „%1“ existiert nicht.</translation>
    </message>
    <message>
        <source>You do not have permission to open the folder “%1”.</source>
        <translation>Sie haben keine Berechtigung, den Ordner „%1“ zu öffnen.</translation>
    </message>
    <message>
        <source>The folder “%1” cannot be read: %2.</source>
        <translation>Der Ordner „%1“ kann nicht gelesen werden: %2.</translation>
    </message>
    <message>
        <source>The drive “%1” is not ready.</source>
        <translation>Das Laufwerk „%1“ ist nicht bereit.</translation>
    </message>
    <message>
        <source>Folders</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>Level %1</source>
        <translation>Ebene %1</translation>
    </message>
</context>
<context>
    <name>DriveListBox</name>
    <message>
        <source>Drives</source>
        <translation>Laufwerke</translation>
    </message>
</context>
<context>
    <name>FileListBox</name>
    <message>
        <source>The folder “%1” does not exist.</source>
        <translation>Der Ordner „%1“ existiert nicht.</translation>
    </message>
    <message>
        <source>The folder “%1” cannot be listed: %2.</source>
        <translation>Der Inhalt des Ordners „%1“ kann nicht aufgelistet werden: %2.</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Dateien</translation>
    </message>
</context>
<context>
    <name>Form</name>
    <message>
        <source>There is not enough memory to finish this.</source>
        <translation>Der Arbeitsspeicher reicht nicht aus, um dies abzuschließen.</translation>
    </message>
</context>
<context>
    <name>InterruptedSaves</name>
    <message>
        <source>A save of “%1” did not finish: the program ended while the file was being rewritten, so it may hold part of the new text. Its old content was kept in “%2”.

Put the old content back? No deletes the kept copy; Cancel keeps it, and you will be asked again.</source>
        <translation>Das Speichern von „%1“ wurde nicht abgeschlossen: Das Programm endete, während die Datei neu geschrieben wurde; sie kann daher einen Teil des neuen Textes enthalten. Ihr alter Inhalt wurde in „%2“ aufbewahrt.

Den alten Inhalt wiederherstellen? „Nein“ löscht die aufbewahrte Kopie; „Abbrechen“ behält sie, und Sie werden erneut gefragt.</translation>
    </message>
    <message>
        <source>A save of “%1” did not finish: the program ended before the new text took the file&apos;s place. The file itself was not changed; the text being saved, perhaps not all of it, is in “%2”.

Delete that copy? No keeps it, and you will be asked again.</source>
        <translation>Das Speichern von „%1“ wurde nicht abgeschlossen: Das Programm endete, bevor der neue Text an die Stelle der Datei trat. Die Datei selbst wurde nicht verändert; der zu speichernde Text, vielleicht nicht vollständig, steht in „%2“.

Diese Kopie löschen? „Nein“ behält sie, und Sie werden erneut gefragt.</translation>
    </message>
</context>
<context>
    <name>JobTask</name>
    <message>
        <source>This could not be finished: %1.</source>
        <translation>Dies konnte nicht abgeschlossen werden: %1.</translation>
    </message>
    <message>
        <source>This could not be finished: an unexpected error stopped it.</source>
        <translation>Dies konnte nicht abgeschlossen werden: ein unerwarteter Fehler hat es abgebrochen.</translation>
    </message>
</context>
<context>
    <name>MetafileReader</name>
    <message>
        <source>it is not an enhanced metafile.</source>
        <translation>es ist keine erweiterte Metadatei (EMF).</translation>
    </message>
    <message>
        <source>the metafile header is damaged.</source>
        <translation>der Kopf der Metadatei ist beschädigt.</translation>
    </message>
    <message>
        <source>the metafile header gives the picture no size.</source>
        <translation>der Kopf der Metadatei gibt dem Bild keine Größe.</translation>
    </message>
    <message>
        <source>the metafile is damaged or incomplete (a record runs past its end).</source>
        <translation>die Metadatei ist beschädigt oder unvollständig (ein Datensatz reicht über ihr Ende hinaus).</translation>
    </message>
    <message>
        <source>the file is too short.</source>
        <translation>die Datei ist zu kurz.</translation>
    </message>
    <message>
        <source>it is not a Windows metafile.</source>
        <translation>es ist keine Windows-Metadatei (WMF).</translation>
    </message>
    <message>
        <source>the metafile holds no drawing records.</source>
        <translation>die Metadatei enthält keine Zeichenbefehle.</translation>
    </message>
    <message>
        <source>the metafile gives the picture no size.</source>
        <translation>die Metadatei gibt dem Bild keine Größe.</translation>
    </message>
    <message>
        <source>its bitmaps together claim more than %1 megapixels, more than this program draws in one picture.</source>
        <translation>seine Bitmaps beanspruchen zusammen mehr als %1 Megapixel, mehr als dieses Programm in einem Bild zeichnet.</translation>
    </message>
    <message>
        <source>The picture “%1” cannot be shown: %2</source>
        <translation>Das Bild „%1“ kann nicht angezeigt werden: %2</translation>
    </message>
    <message>
        <source>The picture “%1” cannot be shown: it is not a metafile.</source>
        <translation>Das Bild „%1“ kann nicht angezeigt werden: es ist keine Metadatei.</translation>
    </message>
    <message>
        <source>it holds neither GDI nor EMF+ drawing records.</source>
        <translation>es enthält weder GDI- noch EMF+-Zeichenbefehle.</translation>
    </message>
</context>
<context>
    <name>Printer</name>
    <message>
        <source>No printer is available.</source>
        <translation>Es ist kein Drucker verfügbar.</translation>
    </message>
</context>
<context>
    <name>QPrintDialog</name>
    <message>
        <source>Print Setup</source>
        <translation>Druckeinrichtung</translation>
    </message>
</context>
<context>
    <name>QtHelpService</name>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Cannot find the help file %1.

Check that the file exists, then try again.</source>
        <translation>Die Hilfedatei %1 wurde nicht gefunden.

Prüfen Sie, ob die Datei existiert, und versuchen Sie es dann erneut.</translation>
    </message>
    <message>
        <source>%1 is a folder, not a help file.</source>
        <translation>%1 ist ein Ordner, keine Hilfedatei.</translation>
    </message>
    <message>
        <source>Cannot open the help file %1: %2.</source>
        <translation>Die Hilfedatei %1 kann nicht geöffnet werden: %2.</translation>
    </message>
    <message>
        <source>%1 is not a help file: it is a device or another special file.</source>
        <translation>%1 ist keine Hilfedatei: es ist ein Gerät oder eine andere besondere Datei.</translation>
    </message>
    <message>
        <source>The help file %1 is too large to show.</source>
        <translation>Die Hilfedatei %1 ist zu groß, um sie anzuzeigen.</translation>
    </message>
    <message>
        <source>Cannot read the help file %1: %2.</source>
        <translation>Die Hilfedatei %1 kann nicht gelesen werden: %2.</translation>
    </message>
    <message>
        <source>Help cannot be shown: no help file was named.</source>
        <translation>Die Hilfe kann nicht angezeigt werden: es wurde keine Hilfedatei angegeben.</translation>
    </message>
</context>
<context>
    <name>QtPrinterService</name>
    <message>
        <source>No printer is set up.</source>
        <translation>Es ist kein Drucker eingerichtet.</translation>
    </message>
    <message>
        <source>The document could not be laid out for printing.</source>
        <translation>Das Dokument konnte nicht für den Druck gesetzt werden.</translation>
    </message>
    <message>
        <source>The printer “%1” did not print the document.</source>
        <translation>Der Drucker „%1“ hat das Dokument nicht gedruckt.</translation>
    </message>
    <message>
        <source>The printer “%1” did not print the document: %2.</source>
        <translation>Der Drucker „%1“ hat das Dokument nicht gedruckt: %2.</translation>
    </message>
    <message>
        <source>The printer “%1” is stopped.</source>
        <translation>Der Drucker „%1“ ist angehalten.</translation>
    </message>
    <message>
        <source>The printer “%1” is stopped: %2.</source>
        <translation>Der Drucker „%1“ ist angehalten: %2.</translation>
    </message>
    <message>
        <source>The document waits in its queue and prints when the printer is started again.</source>
        <translation>Das Dokument wartet in seiner Warteschlange und wird gedruckt, sobald der Drucker wieder gestartet ist.</translation>
    </message>
    <message>
        <source>The document could not be prepared for printing in the temporary folder “%1”: %2.</source>
        <translation>Das Dokument konnte im temporären Ordner „%1“ nicht für den Druck vorbereitet werden: %2.</translation>
    </message>
    <message>
        <source>The file “%1” cannot be written: %2.</source>
        <translation>Die Datei „%1“ kann nicht geschrieben werden: %2.</translation>
    </message>
    <message>
        <source>The file “%1” could not be written: %2. It was removed.</source>
        <translation>Die Datei „%1“ konnte nicht geschrieben werden: %2. Sie wurde entfernt.</translation>
    </message>
    <message>
        <source>No printer could be reached, so the document was printed to the file “%1”.</source>
        <translation>Kein Drucker war erreichbar, daher wurde das Dokument in die Datei „%1“ gedruckt.</translation>
    </message>
</context>
<context>
    <name>RegistryFile</name>
    <message>
        <source>The registry file %1 could not be opened: %2.</source>
        <translation>Die Registrierungsdatei %1 konnte nicht geöffnet werden: %2.</translation>
    </message>
    <message>
        <source>The registry file %1 is a folder.</source>
        <translation>Die Registrierungsdatei %1 ist ein Ordner.</translation>
    </message>
    <message>
        <source>The registry file %1 is not a regular file.</source>
        <translation>Die Registrierungsdatei %1 ist keine gewöhnliche Datei.</translation>
    </message>
    <message>
        <source>The registry file %1 is too large to read.</source>
        <translation>Die Registrierungsdatei %1 ist zu groß, um sie zu lesen.</translation>
    </message>
    <message>
        <source>The registry file %1 could not be read: %2.</source>
        <translation>Die Registrierungsdatei %1 konnte nicht gelesen werden: %2.</translation>
    </message>
    <message>
        <source>The file %1 is not a registry file.</source>
        <translation>Die Datei %1 ist keine Registrierungsdatei.</translation>
    </message>
</context>
<context>
    <name>SafeFileWriter</name>
    <message>
        <source>the disk is full</source>
        <translation>der Datenträger ist voll</translation>
    </message>
    <message>
        <source>its folder does not exist</source>
        <translation>ihr Ordner existiert nicht</translation>
    </message>
    <message>
        <source>you do not have permission to write in its folder</source>
        <translation>Sie haben keine Berechtigung, in ihren Ordner zu schreiben</translation>
    </message>
    <message>
        <source>it is a folder</source>
        <translation>es ist ein Ordner</translation>
    </message>
    <message>
        <source>it is not a regular file</source>
        <translation>es ist keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>the file is read-only</source>
        <translation>die Datei ist schreibgeschützt</translation>
    </message>
    <message>
        <source>your disk quota is full</source>
        <translation>Ihr Speicherkontingent ist ausgeschöpft</translation>
    </message>
    <message>
        <source>the file system is read-only</source>
        <translation>das Dateisystem ist schreibgeschützt</translation>
    </message>
    <message>
        <source>you do not have permission to write it</source>
        <translation>Sie haben keine Berechtigung, sie zu schreiben</translation>
    </message>
    <message>
        <source>the device reported an error</source>
        <translation>das Gerät hat einen Fehler gemeldet</translation>
    </message>
    <message>
        <source>it would be larger than the file system allows</source>
        <translation>sie wäre größer, als das Dateisystem erlaubt</translation>
    </message>
    <message>
        <source>there is not enough memory</source>
        <translation>der Arbeitsspeicher reicht nicht aus</translation>
    </message>
    <message>
        <source>the system reports &quot;%1&quot;</source>
        <translation>das System meldet „%1“</translation>
    </message>
    <message>
        <source>The file “%1” could not be saved: %2. The file on disk was not changed.</source>
        <translation>Die Datei „%1“ konnte nicht gespeichert werden: %2. Die Datei auf dem Datenträger wurde nicht verändert.</translation>
    </message>
    <message>
        <source>the system reports error %1</source>
        <translation>das System meldet den Fehler %1</translation>
    </message>
    <message>
        <source>The file “%1” could not be saved: %2. The file on disk is damaged: its old content could not be put back, and is kept in “%3”. A copy of your text was saved as “%4”.</source>
        <translation>Die Datei „%1“ konnte nicht gespeichert werden: %2. Die Datei auf dem Datenträger ist beschädigt: Ihr alter Inhalt konnte nicht wiederhergestellt werden und ist in „%3“ aufbewahrt. Eine Kopie Ihres Textes wurde als „%4“ gespeichert.</translation>
    </message>
    <message>
        <source>The file “%1” could not be saved: %2. The file on disk is damaged: its old content could not be put back, and is kept in “%3”. No copy of your text could be written: it is still in this window; save it under another name on another disk.</source>
        <translation>Die Datei „%1“ konnte nicht gespeichert werden: %2. Die Datei auf dem Datenträger ist beschädigt: Ihr alter Inhalt konnte nicht wiederhergestellt werden und ist in „%3“ aufbewahrt. Keine Kopie Ihres Textes konnte geschrieben werden: Er ist noch in diesem Fenster; speichern Sie ihn unter einem anderen Namen auf einem anderen Datenträger.</translation>
    </message>
    <message>
        <source>a copy of its old content could not be kept while it is rewritten: %1</source>
        <translation>eine Kopie ihres alten Inhalts konnte für die Dauer des Neuschreibens nicht aufbewahrt werden: %1</translation>
    </message>
    <message>
        <source>The file “%1” could not be saved: it is a link that another user made in a folder open to everyone, and such links are not followed. The file on disk was not changed.</source>
        <translation>Die Datei „%1“ konnte nicht gespeichert werden: Sie ist eine Verknüpfung, die ein anderer Benutzer in einem für alle beschreibbaren Ordner angelegt hat, und solchen Verknüpfungen wird nicht gefolgt. Die Datei auf dem Datenträger wurde nicht verändert.</translation>
    </message>
    <message>
        <source>The old content of “%1” could not be put back: %2. It is still kept in “%3”.</source>
        <translation>Der alte Inhalt von „%1“ konnte nicht wiederhergestellt werden: %2. Er ist weiterhin in „%3“ aufbewahrt.</translation>
    </message>
    <message>
        <source>its folder, or the disk it was on, is no longer there</source>
        <translation>ihr Ordner oder das Laufwerk, auf dem er lag, ist nicht mehr da</translation>
    </message>
</context>
<context>
    <name>SearchSession</name>
    <message>
        <source>There are more than %1 matches, too many to replace at once. Nothing was replaced.</source>
        <translation>Es gibt mehr als %1 Treffer, zu viele, um sie auf einmal zu ersetzen. Es wurde nichts ersetzt.</translation>
    </message>
</context>
<context>
    <name>TextCodec</name>
    <message>
        <source>UTF-8 with BOM</source>
        <translation>UTF-8 mit BOM</translation>
    </message>
    <message>
        <source>%1 (declared)</source>
        <translation>%1 (angegeben)</translation>
    </message>
</context>
<context>
    <name>TextDocument</name>
    <message>
        <source>The text cannot be opened: %1.</source>
        <translation>Der Text kann nicht geöffnet werden: %1.</translation>
    </message>
    <message>
        <source>there is not enough memory to hold it</source>
        <translation>es ist nicht genug Speicher frei, um sie zu fassen</translation>
    </message>
    <message>
        <source>Saving was cancelled.</source>
        <translation>Das Speichern wurde abgebrochen.</translation>
    </message>
    <message>
        <source>The file “%1” cannot be opened: %2.</source>
        <translation>Die Datei „%1“ kann nicht geöffnet werden: %2.</translation>
    </message>
</context>
<context>
    <name>TextFileReader</name>
    <message>
        <source>it does not exist</source>
        <translation>sie existiert nicht</translation>
    </message>
    <message>
        <source>its folder does not exist</source>
        <translation>ihr Ordner existiert nicht</translation>
    </message>
    <message>
        <source>you do not have permission to read it</source>
        <translation>Sie haben keine Berechtigung, sie zu lesen</translation>
    </message>
    <message>
        <source>there is not enough memory</source>
        <translation>der Arbeitsspeicher reicht nicht aus</translation>
    </message>
    <message>
        <source>the system reports &quot;%1&quot;</source>
        <translation>das System meldet „%1“</translation>
    </message>
    <message>
        <source>it is larger than %1 MiB, the most the text window can hold</source>
        <translation>sie ist größer als %1 MiB, das Höchstmaß, das das Textfenster fassen kann</translation>
    </message>
    <message>
        <source>it is a folder</source>
        <translation>es ist ein Ordner</translation>
    </message>
    <message>
        <source>it is a device or a pipe, not a file</source>
        <translation>es ist ein Gerät oder eine Pipe, keine Datei</translation>
    </message>
    <message>
        <source>no file is selected</source>
        <translation>es ist keine Datei ausgewählt</translation>
    </message>
    <message>
        <source>the device reported an error</source>
        <translation>das Gerät hat einen Fehler gemeldet</translation>
    </message>
    <message>
        <source>The file “%1” cannot be opened: %2.</source>
        <translation>Die Datei „%1“ kann nicht geöffnet werden: %2.</translation>
    </message>
</context>
<context>
    <name>TextSearch</name>
    <message>
        <source>There is nothing to find.</source>
        <translation>Es gibt nichts zu suchen.</translation>
    </message>
    <message>
        <source>“%1” is not a valid regular expression: %2.</source>
        <translation>„%1“ ist kein gültiger regulärer Ausdruck: %2.</translation>
    </message>
</context>
<context>
    <name>TextSource</name>
    <message>
        <source>Reading the file was cancelled.</source>
        <translation>Das Lesen der Datei wurde abgebrochen.</translation>
    </message>
    <message>
        <source>it has more than %1 lines, the most the text window can hold</source>
        <translation>sie hat mehr als %1 Zeilen, mehr als das Textfenster fassen kann</translation>
    </message>
</context>
<context>
    <name>ostrel::CommonDialog</name>
    <message>
        <source>Cancel was selected.</source>
        <translation>Abbrechen wurde gewählt.</translation>
    </message>
    <message>
        <source>No file dialog is available.</source>
        <translation>Es ist kein Dateidialog verfügbar.</translation>
    </message>
    <message>
        <source>No printer is available.</source>
        <translation>Es ist kein Drucker verfügbar.</translation>
    </message>
</context>
<context>
    <name>ostrel::FindDialog</name>
    <message>
        <source>Fi&amp;nd what:</source>
        <translation>&amp;Suchen nach:</translation>
    </message>
    <message>
        <source>Re&amp;place with:</source>
        <translation>&amp;Ersetzen durch:</translation>
    </message>
    <message>
        <source>&amp;Line (or line:column):</source>
        <translation>&amp;Zeile (oder Zeile:Spalte):</translation>
    </message>
    <message>
        <source>Match &amp;case</source>
        <translation>&amp;Groß-/Kleinschreibung beachten</translation>
    </message>
    <message>
        <source>&amp;Whole words</source>
        <translation>Nur ganze &amp;Wörter</translation>
    </message>
    <message>
        <source>Regular e&amp;xpression</source>
        <translation>Regulärer &amp;Ausdruck</translation>
    </message>
    <message>
        <source>Wrap ar&amp;ound</source>
        <translation>Am Ende &amp;von vorn beginnen</translation>
    </message>
    <message>
        <source>&amp;Find Next</source>
        <translation>Wei&amp;tersuchen</translation>
    </message>
    <message>
        <source>Find Pre&amp;vious</source>
        <translation>&amp;Rückwärts suchen</translation>
    </message>
    <message>
        <source>&amp;Replace</source>
        <translation>Ersetze&amp;n</translation>
    </message>
    <message>
        <source>Replace &amp;All</source>
        <translation>A&amp;lle ersetzen</translation>
    </message>
    <message>
        <source>&amp;Go To</source>
        <translation>&amp;Springen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Go to Line</source>
        <translation>Gehe zu Zeile</translation>
    </message>
    <message>
        <source>Replace</source>
        <translation>Ersetzen</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Type a line number, or a line and a column as in 120:5.</source>
        <translation>Geben Sie eine Zeilennummer ein, oder Zeile und Spalte wie in 120:5.</translation>
    </message>
    <message>
        <source>Searching…</source>
        <translation>Suche läuft…</translation>
    </message>
    <message>
        <source>The search was cancelled.</source>
        <translation>Die Suche wurde abgebrochen.</translation>
    </message>
    <message>
        <source>The text changed during the search; search again.</source>
        <translation>Der Text hat sich während der Suche geändert; bitte erneut suchen.</translation>
    </message>
    <message>
        <source>Replacements made: %1.</source>
        <translation>Ersetzungen: %1.</translation>
    </message>
    <message>
        <source>Passed the end of the text; went on from the start.</source>
        <translation>Ende des Textes erreicht; am Anfang fortgesetzt.</translation>
    </message>
    <message>
        <source>Passed the start of the text; went on from the end.</source>
        <translation>Anfang des Textes erreicht; am Ende fortgesetzt.</translation>
    </message>
    <message>
        <source>The file&apos;s character set, %1, has no “%2”, so the text read from it cannot hold “%3”.</source>
        <translation>Der Zeichensatz der Datei, %1, kennt kein „%2“; der aus ihr gelesene Text kann „%3“ daher nicht enthalten.</translation>
    </message>
    <message>
        <source>“%1” was not found.</source>
        <translation>„%1“ wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>No matches.</source>
        <translation>Keine Treffer.</translation>
    </message>
    <message>
        <source>%1 of %2 so far</source>
        <translation>%1 von bisher %2</translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation>%1 von %2</translation>
    </message>
    <message>
        <source>%1 matches so far</source>
        <translation>bisher %1 Treffer</translation>
    </message>
    <message>
        <source>%1 matches</source>
        <translation>%1 Treffer</translation>
    </message>
</context>
<context>
    <name>ostrel::Form1</name>
    <message>
        <source>Horizontal position</source>
        <translation>Waagerechte Position</translation>
    </message>
    <message>
        <source>Vertical position</source>
        <translation>Senkrechte Position</translation>
    </message>
</context>
<context>
    <name>ostrel::Form2</name>
    <message>
        <source>12 point</source>
        <translation>12 Punkt</translation>
    </message>
    <message>
        <source>10 point</source>
        <translation>10 Punkt</translation>
    </message>
    <message>
        <source>Save As</source>
        <translation>Sichern als</translation>
    </message>
    <message>
        <source>Ostrel_label has encountered an error while trying to print,please check all cables,paper,ports and drivers,restart windows then try again.</source>
        <translation>Beim Drucken ist in Ostrel_label ein Fehler aufgetreten. Bitte prüfen Sie alle Kabel, das Papier, die Anschlüsse und die Treiber, starten Sie Windows neu und versuchen Sie es dann erneut.</translation>
    </message>
    <message>
        <source>Reading</source>
        <translation>Lesen</translation>
    </message>
    <message>
        <source>The characters of this file are read and saved as %1.</source>
        <translation>Die Zeichen dieser Datei werden als %1 gelesen und gespeichert.</translation>
    </message>
    <message>
        <source>Saving</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>“%1” was changed by another program since it was opened. Reload it?</source>
        <translation>„%1“ wurde seit dem Öffnen von einem anderen Programm geändert. Neu laden?</translation>
    </message>
    <message>
        <source>“%1” was changed by another program since it was opened. Save and replace those changes?</source>
        <translation>„%1“ wurde seit dem Öffnen von einem anderen Programm geändert. Speichern und diese Änderungen ersetzen?</translation>
    </message>
    <message>
        <source>The text holds characters that the character set of “%1” (%2) cannot hold.

Save it as UTF-8, which holds them all?</source>
        <translation>Der Text enthält Zeichen, die der Zeichensatz von „%1“ (%2) nicht darstellen kann.

Als UTF-8 speichern, das alle darstellen kann?</translation>
    </message>
    <message>
        <source>The text cannot be written in the character set of “%1” (%2).</source>
        <translation>Der Text kann nicht im Zeichensatz von „%1“ (%2) geschrieben werden.</translation>
    </message>
    <message>
        <source>Find…</source>
        <translation>Suchen…</translation>
    </message>
    <message>
        <source>Find Next</source>
        <translation>Weitersuchen</translation>
    </message>
    <message>
        <source>Find Previous</source>
        <translation>Rückwärts suchen</translation>
    </message>
    <message>
        <source>Replace…</source>
        <translation>Ersetzen…</translation>
    </message>
    <message>
        <source>Go to Line…</source>
        <translation>Gehe zu Zeile…</translation>
    </message>
    <message>
        <source>Saving was cancelled.</source>
        <translation>Das Speichern wurde abgebrochen.</translation>
    </message>
    <message>
        <source>Printing</source>
        <translation>Drucken</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>S&amp;peichern</translation>
    </message>
    <message>
        <source>Save &amp;As</source>
        <translation>Sichern &amp;als</translation>
    </message>
    <message>
        <source>&amp;Print</source>
        <translation>&amp;Drucken</translation>
    </message>
</context>
<context>
    <name>ostrel::HelpViewer</name>
    <message>
        <source>&amp;Type a word to find it in the index:</source>
        <translation>&amp;Geben Sie ein Wort ein, um es im Index zu finden:</translation>
    </message>
    <message>
        <source>%1 - Help</source>
        <translation>%1 - Hilfe</translation>
    </message>
    <message>
        <source>This help file has no topics.</source>
        <translation>Diese Hilfedatei enthält keine Themen.</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>%1 - %2</source>
        <translation>%1 - %2</translation>
    </message>
    <message>
        <source>Index</source>
        <translation>Index</translation>
    </message>
    <message>
        <source>Topic</source>
        <translation>Thema</translation>
    </message>
</context>
<context>
    <name>ostrel::ImageControl</name>
    <message>
        <source>Parts of the picture “%1” were left out: it asks for more drawing than this program does for one picture.</source>
        <translation>Teile des Bildes „%1“ wurden weggelassen: Es verlangt mehr Zeichenarbeit, als dieses Programm für ein Bild leistet.</translation>
    </message>
</context>
<context>
    <name>ostrel::Ostrel_View</name>
    <message>
        <source>All</source>
        <translation>Alle</translation>
    </message>
    <message>
        <source>Unable to display Help Contents. There is no Help associated with this project.</source>
        <translation>Der Hilfeinhalt kann nicht angezeigt werden. Zu diesem Projekt gehört keine Hilfe.</translation>
    </message>
    <message>
        <source>No help viewer is available.</source>
        <translation>Es ist kein Hilfeanzeiger verfügbar.</translation>
    </message>
    <message>
        <source>No picture is selected. Click a picture file in the list to see it here, then click it here to see it at its natural size.</source>
        <translation>Es ist kein Bild gewählt. Klicken Sie in der Liste auf eine Bilddatei, um sie hier zu sehen, und dann hier, um sie in natürlicher Größe zu sehen.</translation>
    </message>
    <message>
        <source>No picture</source>
        <translation>Kein Bild</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>&amp;Info</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>The drive “%1” is no longer there. The lists show “%2” instead.</source>
        <translation>Das Laufwerk „%1“ ist nicht mehr da. Die Listen zeigen stattdessen „%2“.</translation>
    </message>
    <message>
        <source>Preview of %1</source>
        <translation>Vorschau von %1</translation>
    </message>
    <message>
        <source>Picture %1</source>
        <translation>Bild %1</translation>
    </message>
</context>
<context>
    <name>ostrel::PictureLoader</name>
    <message>
        <source>the bitmap header ends early</source>
        <translation>der Kopf der Bitmap endet vorzeitig</translation>
    </message>
    <message>
        <source>its bitmap header is of no known kind (%1 bytes long)</source>
        <translation>ihr Bitmap-Kopf ist von keiner bekannten Art (%1 Bytes lang)</translation>
    </message>
    <message>
        <source>it uses an unknown bitmap compression (%1)</source>
        <translation>sie verwendet eine unbekannte Bitmap-Kompression (%1)</translation>
    </message>
    <message>
        <source>it uses the OS/2 Huffman compression, which this program does not read</source>
        <translation>sie verwendet die OS/2-Huffman-Kompression, die dieses Programm nicht liest</translation>
    </message>
    <message>
        <source>it claims %1 bits per pixel</source>
        <translation>sie gibt %1 Bit pro Pixel an</translation>
    </message>
    <message>
        <source>its compression does not fit its %1 bits per pixel</source>
        <translation>ihre Kompression passt nicht zu ihren %1 Bit pro Pixel</translation>
    </message>
    <message>
        <source>its header gives an impossible size of %1 × %2 pixels</source>
        <translation>ihr Kopf gibt eine unmögliche Größe von %1 × %2 Pixeln an</translation>
    </message>
    <message>
        <source>its pixel data lies beyond the end of the file</source>
        <translation>ihre Pixeldaten liegen hinter dem Ende der Datei</translation>
    </message>
    <message>
        <source>there is not enough memory</source>
        <translation>der Arbeitsspeicher reicht nicht aus</translation>
    </message>
    <message>
        <source>its embedded picture is missing</source>
        <translation>ihr eingebettetes Bild fehlt</translation>
    </message>
    <message>
        <source>the GIF header ends early</source>
        <translation>der GIF-Kopf endet vorzeitig</translation>
    </message>
    <message>
        <source>the GIF data ends early</source>
        <translation>die GIF-Daten enden vorzeitig</translation>
    </message>
    <message>
        <source>the GIF has no picture in it</source>
        <translation>die GIF-Datei enthält kein Bild</translation>
    </message>
    <message>
        <source>it draws text, which GIF pictures here may not</source>
        <translation>sie zeichnet Text, was GIF-Bilder hier nicht dürfen</translation>
    </message>
    <message>
        <source>the GIF data is damaged</source>
        <translation>die GIF-Daten sind beschädigt</translation>
    </message>
    <message>
        <source>its icon directory ends early</source>
        <translation>ihr Symbolverzeichnis endet vorzeitig</translation>
    </message>
    <message>
        <source>its icon directory lists no readable image</source>
        <translation>ihr Symbolverzeichnis nennt kein lesbares Bild</translation>
    </message>
    <message>
        <source>its JPEG data is damaged (%1)</source>
        <translation>ihre JPEG-Daten sind beschädigt (%1)</translation>
    </message>
    <message>
        <source>The file “%1” does not exist.</source>
        <translation>Die Datei „%1“ existiert nicht.</translation>
    </message>
    <message>
        <source>The path of the file “%1” runs through something that is not a folder.</source>
        <translation>Der Pfad der Datei „%1“ führt durch etwas, das kein Ordner ist.</translation>
    </message>
    <message>
        <source>You are not allowed to read the file “%1”.</source>
        <translation>Sie dürfen die Datei „%1“ nicht lesen.</translation>
    </message>
    <message>
        <source>The file name “%1” cannot be followed: %2.</source>
        <translation>Dem Dateinamen „%1“ kann nicht gefolgt werden: %2.</translation>
    </message>
    <message>
        <source>The file “%1” is not a picture this program can show: it is not a regular file.</source>
        <translation>Die Datei „%1“ ist kein Bild, das dieses Programm anzeigen kann: sie ist keine gewöhnliche Datei.</translation>
    </message>
    <message>
        <source>The file “%1” cannot be opened: %2.</source>
        <translation>Die Datei „%1“ kann nicht geöffnet werden: %2.</translation>
    </message>
    <message>
        <source>No file name was given for the picture.</source>
        <translation>Für das Bild wurde kein Dateiname angegeben.</translation>
    </message>
    <message>
        <source>“%1” is a folder, not a picture file.</source>
        <translation>„%1“ ist ein Ordner, keine Bilddatei.</translation>
    </message>
    <message>
        <source>The file “%1” is not a picture this program can show: the file is empty.</source>
        <translation>Die Datei „%1“ ist kein Bild, das dieses Programm anzeigen kann: die Datei ist leer.</translation>
    </message>
    <message>
        <source>The file “%1” is too large to show: it holds %2 MB, and pictures of up to %3 MB are shown.</source>
        <translation>Die Datei „%1“ ist zu groß, um sie anzuzeigen: sie umfasst %2 MB, angezeigt werden Bilder bis %3 MB.</translation>
    </message>
    <message>
        <source>The file “%1” could not be read: %2.</source>
        <translation>Die Datei „%1“ konnte nicht gelesen werden: %2.</translation>
    </message>
    <message>
        <source>its header claims %1 × %2 pixels, far more than its %3 bytes can hold</source>
        <translation>ihr Kopf gibt %1 × %2 Pixel an, weit mehr, als ihre %3 Bytes fassen können</translation>
    </message>
    <message>
        <source>its content is not that of a bitmap, JPEG, GIF, icon or metafile</source>
        <translation>ihr Inhalt ist weder eine Bitmap noch JPEG, GIF, Symbol oder Metadatei</translation>
    </message>
    <message>
        <source>The file “%1” is too large to show: %2.</source>
        <translation>Die Datei „%1“ ist zu groß, um sie anzuzeigen: %2.</translation>
    </message>
    <message>
        <source>The file “%1” is not a picture this program can show: %2.</source>
        <translation>Die Datei „%1“ ist kein Bild, das dieses Programm anzeigen kann: %2.</translation>
    </message>
    <message>
        <source>The file “%1” is too large to show: there is not enough memory.</source>
        <translation>Die Datei „%1“ ist zu groß, um sie anzuzeigen: der Arbeitsspeicher reicht nicht aus.</translation>
    </message>
    <message>
        <source>its %1 data is damaged or ends early</source>
        <translation>ihre %1-Daten sind beschädigt oder enden vorzeitig</translation>
    </message>
    <message>
        <source>the picture is %1 × %2 pixels, and this program shows at most %3 pixels a side</source>
        <translation>das Bild hat %1 × %2 Pixel, und dieses Programm zeigt höchstens %3 Pixel an einer Seite</translation>
    </message>
    <message>
        <source>the picture is %1 × %2 pixels, more than the %3 megapixels this program shows</source>
        <translation>das Bild hat %1 × %2 Pixel, mehr als die %3 Megapixel, die dieses Programm zeigt</translation>
    </message>
    <message>
        <source>the picture is %1 × %2 pixels, more than the %3 megapixels this program shows at natural size; its preview shows it whole</source>
        <translation>das Bild hat %1 × %2 Pixel, mehr als die %3 Megapixel, die dieses Programm in natürlicher Größe zeigt; seine Vorschau zeigt es ganz</translation>
    </message>
    <message>
        <source>The file “%1” cannot be opened: its folder does not exist.</source>
        <translation>Die Datei „%1“ kann nicht geöffnet werden: ihr Ordner existiert nicht.</translation>
    </message>
    <message>
        <source>the file became shorter while it was read</source>
        <translation>die Datei wurde kürzer, während sie gelesen wurde</translation>
    </message>
</context>
<context>
    <name>ostrel::PrintFile</name>
    <message>
        <source>the file on disk is not the whole document</source>
        <translation>die Datei auf dem Datenträger enthält nicht das ganze Dokument</translation>
    </message>
</context>
<context>
    <name>ostrel::ProgressStrip</name>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>ostrel::ScrollBar</name>
    <message>
        <source>The scroll bar&apos;s %1 cannot be %2: it must lie between -32768 and 32767.</source>
        <translation>Der Wert %1 der Bildlaufleiste kann nicht %2 sein: er muss zwischen -32768 und 32767 liegen.</translation>
    </message>
</context>
<context>
    <name>ostrel::TextBox</name>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Rückgängig</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>&amp;Wiederholen</translation>
    </message>
    <message>
        <source>Cu&amp;t</source>
        <translation>&amp;Ausschneiden</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>&amp;Einfügen</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Alles auswählen</translation>
    </message>
</context>
<context>
    <name>ostrel::frmAbout</name>
    <message>
        <source>Ostrel_Viewer was designed to allow users to quickly preview major graphic types,and view/edit major text file types.</source>
        <translation>Ostrel_Viewer dient dazu, gängige Bildformate schnell anzusehen und gängige Textdateien anzuzeigen und zu bearbeiten.</translation>
    </message>
    <message>
        <source>Written and maintained by the Ostrel_Viewer developers. Free to use and share.</source>
        <translation>Geschrieben und gepflegt von den Ostrel_Viewer-Entwicklern. Frei zu benutzen und weiterzugeben.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>About %1</source>
        <translation>Info über %1</translation>
    </message>
    <message>
        <source>Version %1.%2.%3</source>
        <translation>Version %1.%2.%3</translation>
    </message>
    <message>
        <source>Program icon</source>
        <translation>Programmsymbol</translation>
    </message>
</context>
</TS>
