<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Vk</name>
    <message>
        <source>Vantiro复读机软件</source>
        <translation>Vantiro复读机软件</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>Full Screen</source>
        <translation>全屏</translation>
    </message>
    <message>
        <source>Keep Aspect Ratio</source>
        <translation>保持纵横比</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>帮助</translation>
    </message>
    <message>
        <source>Mi&amp;nimize</source>
        <translation>最小化(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Restore</source>
        <translation>还原(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>退出(&amp;Q)</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>打开文件</translation>
    </message>
    <message>
        <source>Media (*.mov *.avi *.wmv *.mpeg *.mp4 *.mpg *.vob *.swf *.flv *.rmvb *.rm *.mp3 *.mkv *.wma *.wmv)</source>
        <translation>媒体文件 (*.mov *.avi *.wmv *.mpeg *.mp4 *.mpg *.vob *.swf *.flv *.rmvb *.rm *.mp3 *.mkv *.wma *.wmv)</translation>
    </message>
    <message>
        <source>Error opening %1:
The file holds no sound or picture that can be played.</source>
        <translation>打开 %1 时出错：
文件中没有可以播放的声音或图像。</translation>
    </message>
</context>
<context>
    <name>ControlButton</name>
    <message>
        <source>play/pause</source>
        <translation>播放/暂停</translation>
    </message>
    <message>
        <source>stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>forward</source>
        <translation>快进</translation>
    </message>
    <message>
        <source>backward</source>
        <translation>快退</translation>
    </message>
    <message>
        <source>sharp tune start left</source>
        <translation>起点微调左移</translation>
    </message>
    <message>
        <source>set loop start</source>
        <translation>设置循环起点</translation>
    </message>
    <message>
        <source>sharp tune start right</source>
        <translation>起点微调右移</translation>
    </message>
    <message>
        <source>sharp tune end left</source>
        <translation>终点微调左移</translation>
    </message>
    <message>
        <source>set loop end</source>
        <translation>设置循环终点</translation>
    </message>
    <message>
        <source>sharp tune end right</source>
        <translation>终点微调右移</translation>
    </message>
    <message>
        <source>cancel loop</source>
        <translation>取消循环</translation>
    </message>
    <message>
        <source>reset loop from begin to current start</source>
        <translation>从开头循环到当前起点</translation>
    </message>
    <message>
        <source>reset loop from current end to end</source>
        <translation>从当前终点循环到结尾</translation>
    </message>
    <message>
        <source>volume silent</source>
        <translation>静音</translation>
    </message>
    <message>
        <source>volume control</source>
        <translation>音量调节</translation>
    </message>
    <message>
        <source>editor</source>
        <translation>编辑器</translation>
    </message>
</context>
<context>
    <name>Media</name>
    <message>
        <source>Error opening %1:
Couldn't find any stream information in this file.</source>
        <translation>打开 %1 出错：
在此文件中找不到任何流信息。</translation>
    </message>
    <message>
        <source>Error opening %1:
Cannot allocate pictures buffer.</source>
        <translation>打开 %1 出错：
无法分配图像缓冲区。</translation>
    </message>
    <message>
        <source>Error opening %1:
Cannot create a suitable conversion context to RGB.</source>
        <translation>打开 %1 出错：
无法创建转换到 RGB 的转换上下文。</translation>
    </message>
    <message>
        <source>Error opening %1:
Incorrect numbered image sequence syntax.</source>
        <translation>打开 %1 出错：
编号图像序列的语法不正确。</translation>
    </message>
    <message>
        <source>Error opening %1:
Unknown format.</source>
        <translation>打开 %1 出错：
未知格式。</translation>
    </message>
    <message>
        <source>Error opening %1:
Error while parsing header.</source>
        <translation>打开 %1 出错：
解析文件头时出错。</translation>
    </message>
    <message>
        <source>Error opening %1:
Memory allocation error.</source>
        <translation>打开 %1 出错：
内存分配错误。</translation>
    </message>
    <message>
        <source>Error opening %1:
I/O error. Usually that means that input file is truncated and/or corrupted.</source>
        <translation>打开 %1 出错：
输入/输出错误。通常表示输入文件不完整或已损坏。</translation>
    </message>
    <message>
        <source>Error opening %1:
No such file.</source>
        <translation>打开 %1 出错：
文件不存在。</translation>
    </message>
    <message>
        <source>Error opening %1:
Couldn't open the file.</source>
        <translation>打开 %1 出错：
无法打开文件。</translation>
    </message>
    <message>
        <source>Error reading %1 !

Logs;
%2Decoding interupted. </source>
        <translation>读取 %1 出错！

日志：
%2解码已中断。</translation>
    </message>
    <message>
        <source>Playing speed set to %2.
</source>
        <translation>播放速度已设为 %2。
</translation>
    </message>
</context>
<context>
    <name>ParsingThread</name>
    <message>
        <source>ParsingThread:: run.
</source>
        <translation>ParsingThread:: 开始运行。
</translation>
    </message>
    <message>
        <source>ParsingThread:: Couldn't read frame.
</source>
        <translation>ParsingThread:: 无法读取帧。
</translation>
    </message>
    <message>
        <source>ParsingThread:: ended.
</source>
        <translation>ParsingThread:: 已结束。
</translation>
    </message>
    <message>
        <source>ParsingThread:: Seeking error.
</source>
        <translation>ParsingThread:: 定位出错。
</translation>
    </message>
</context>
<context>
    <name>VideoDecodeThread</name>
    <message>
        <source>VideoDecodeThread:: run.
</source>
        <translation>VideoDecodeThread:: 开始运行。
</translation>
    </message>
    <message>
        <source>VideoDecodeThread:: No more packets.
</source>
        <translation>VideoDecodeThread:: 没有更多数据包。
</translation>
    </message>
    <message>
        <source>VideoDecodeThread:: Flushing the buffers.
</source>
        <translation>VideoDecodeThread:: 正在清空缓冲区。
</translation>
    </message>
    <message>
        <source>DecodingThread:: ended.
</source>
        <translation>DecodingThread:: 已结束。
</translation>
    </message>
</context>
<context>
    <name>AudioDecodeThread</name>
    <message>
        <source>AudioThread:: run.
</source>
        <translation>AudioThread:: 开始运行。
</translation>
    </message>
    <message>
        <source>AudioThread:: No more packets.
</source>
        <translation>AudioThread:: 没有更多数据包。
</translation>
    </message>
    <message>
        <source>AudioThread:: Flushing the buffers.
</source>
        <translation>AudioThread:: 正在清空缓冲区。
</translation>
    </message>
    <message>
        <source>AudioThread:: ended.
</source>
        <translation>AudioThread:: 已结束。
</translation>
    </message>
</context>
</TS>
