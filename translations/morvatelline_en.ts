<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>mv::msg</name>
    <message>
        <source>设置无法保存到 %1，更改只在本次运行中有效。</source>
        <translation>The settings cannot be saved to %1; changes last for this run only.</translation>
    </message>
    <message>
        <source>抱歉，文件读取失败。</source>
        <translation>Sorry, the file could not be read.</translation>
    </message>
    <message>
        <source>抱歉，请选择一个有效的文件。</source>
        <translation>Sorry, please choose a valid file.</translation>
    </message>
    <message>
        <source>内存不足，无法继续执行。</source>
        <translation>Not enough memory to go on.</translation>
    </message>
    <message>
        <source>表格只能容纳前 65536 秒的数据。</source>
        <translation>The spreadsheet can hold only the first 65536 seconds.</translation>
    </message>
    <message>
        <source>抱歉，文件写入失败。请检查是否有其它程序正在使用该文件。</source>
        <translation>Sorry, the file could not be written. Please check whether another program is using it.</translation>
    </message>
    <message>
        <source>请先选择RM文件所在文件夹。</source>
        <translation>Please choose the folder of the RM files first.</translation>
    </message>
    <message>
        <source>请先指定结果文件。</source>
        <translation>Please choose the result file first.</translation>
    </message>
    <message>
        <source>结果文件创建失败，请重新选择。</source>
        <translation>The result file could not be created. Please choose another one.</translation>
    </message>
    <message>
        <source>用户终止查找过程。。</source>
        <translation>The search was stopped.</translation>
    </message>
    <message>
        <source>抱歉，在您选择的目录里没有任何RM文件。</source>
        <translation>Sorry, there are no RM files in the folder you chose.</translation>
    </message>
    <message>
        <source>恭喜，没有找到有零码率的RM文件。</source>
        <translation>Good news: no RM file has zero-bitrate seconds.</translation>
    </message>
    <message>
        <source>抱歉，在您选择的目录里没有任何可检查的媒体文件。</source>
        <translation>Sorry, there are no media files to check in the folder you chose.</translation>
    </message>
    <message>
        <source>恭喜，没有找到有零码率的文件。</source>
        <translation>Good news: no file has zero-bitrate seconds.</translation>
    </message>
    <message>
        <source>文件不完整</source>
        <translation>The file is incomplete</translation>
    </message>
    <message>
        <source>索引已由数据重建</source>
        <translation>The index was rebuilt from the data</translation>
    </message>
    <message>
        <source>已略去中途不全的单元</source>
        <translation>Units missing a part inside the file were left out</translation>
    </message>
    <message>
        <source>含中途不全的单元，已按所存字节计入</source>
        <translation>Units missing a part inside the file are counted with the bytes it holds</translation>
    </message>
    <message>
        <source>时间戳不连续，已按连续播放接续</source>
        <translation>Time stamps jump (a joined recording): they were closed up to play on</translation>
    </message>
    <message>
        <source>文件内容与扩展名不符，已按内容读取</source>
        <translation>The file is not what its suffix says; it was read as what it holds</translation>
    </message>
</context>
<context>
    <name>mvgui::AboutDialog</name>
    <message>
        <source>关于 Morvatelline</source>
        <translation>About Morvatelline</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>作者:</source>
        <translation>Author:</translation>
    </message>
    <message>
        <source>电邮:</source>
        <translation>E-mail:</translation>
    </message>
    <message>
        <source>主页:</source>
        <translation>Web:</translation>
    </message>
    <message>
        <source>Morvatelline 项目组</source>
        <translation>The Morvatelline team</translation>
    </message>
</context>
<context>
    <name>mvgui::BatchCheckDialog</name>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>批量检查RM文件</source>
        <translation>Batch Check of RM Files</translation>
    </message>
    <message>
        <source>3.开始</source>
        <translation>3. Start</translation>
    </message>
    <message>
        <source>4.关闭</source>
        <translation>4. Close</translation>
    </message>
    <message>
        <source>1.RM文件所在文件夹(子文件夹将被自动搜索):</source>
        <translation>1. Folder of RM files (subfolders too):</translation>
    </message>
    <message>
        <source>2.结果文件:</source>
        <translation>2. Results:</translation>
    </message>
    <message>
        <source>正在检查:</source>
        <translation>Checking:</translation>
    </message>
    <message>
        <source>选择源文件夹</source>
        <translation>Choose the Source Folder</translation>
    </message>
    <message>
        <source>请选择RM文件所在文件夹:</source>
        <translation>Folder of the RM files:</translation>
    </message>
    <message>
        <source>结果文件</source>
        <translation>Result File</translation>
    </message>
    <message>
        <source>检查所有支持的格式</source>
        <translation>Check every supported format</translation>
    </message>
    <message>
        <source>以下文件夹无法读取，其中的文件没有检查：</source>
        <translation>These folders could not be read; the files in them were not checked:</translation>
    </message>
    <message>
        <source>……共 %1 个文件夹</source>
        <translation>… %1 folders in all</translation>
    </message>
    <message>
        <source>无法读取的文件及原因列在这里</source>
        <translation>Files that could not be read are listed here with the reason</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>缓冲区检查:</source>
        <translation>Buffer check:</translation>
    </message>
    <message>
        <source>不检查</source>
        <translation>No check</translation>
    </message>
    <message>
        <source>蓝光</source>
        <translation>Blu-ray</translation>
    </message>
    <message>
        <source>码流自带</source>
        <translation>As the stream declares</translation>
    </message>
    <message>
        <source>统计汇总</source>
        <translation>Summary</translation>
    </message>
</context>
<context>
    <name>mvgui::CCurvePanel</name>
    <message>
        <source>单击显示此文件的轨道</source>
        <translation>Click to show this file&apos;s tracks</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>视频</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>音频</source>
        <translation>Audio</translation>
    </message>
    <message>
        <source>总码率</source>
        <translation>Total</translation>
    </message>
    <message>
        <source>峰值 -</source>
        <translation>Peak -</translation>
    </message>
    <message numerus="yes">
        <source>关键帧 %n 个，平均GOP %1 帧</source>
        <translation>
            <numerusform>%n key frame, average GOP %1 frames</numerusform>
            <numerusform>%n key frames, average GOP %1 frames</numerusform>
        </translation>
    </message>
    <message>
        <source>峰值 %1 kbps，起于 %2</source>
        <translation>Peak %1 kbps, from %2</translation>
    </message>
    <message>
        <source>%1 帧 %2 个，平均 %3 字节</source>
        <translation>%1 pictures: %2, average %3 bytes</translation>
    </message>
    <message>
        <source>GOP 最短 %1 帧，最长 %2 帧，平均 %3</source>
        <translation>GOP shortest %1, longest %2, average %3 frames</translation>
    </message>
    <message>
        <source>码流没有声明缓冲区</source>
        <translation>The stream declares no buffer</translation>
    </message>
    <message>
        <source>编号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>编码</source>
        <translation>Codec</translation>
    </message>
    <message>
        <source>语言</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>字节</source>
        <translation>Bytes</translation>
    </message>
    <message>
        <source>平均 kbps</source>
        <translation>Average kbps</translation>
    </message>
    <message>
        <source>最大 kbps</source>
        <translation>Highest kbps</translation>
    </message>
    <message>
        <source>计入视频码率</source>
        <translation>Counted as the video</translation>
    </message>
    <message>
        <source>计入音频码率</source>
        <translation>Counted as the audio</translation>
    </message>
    <message>
        <source>合计</source>
        <translation>All tracks</translation>
    </message>
    <message numerus="yes">
        <source>%n 个轨道，%1 秒</source>
        <translation>
            <numerusform>%n track, %1 s</numerusform>
            <numerusform>%n tracks, %1 s</numerusform>
        </translation>
    </message>
    <message>
        <source>缓冲区 %1 kbit，充入 %2 kbps</source>
        <translation>Buffer %1 kbit, filled at %2 kbps</translation>
    </message>
    <message>
        <source>单击列出全部违规时段</source>
        <translation>Click to list every violation</translation>
    </message>
    <message>
        <source>缓冲区检查通过</source>
        <translation>The buffer check passed</translation>
    </message>
    <message numerus="yes">
        <source>%n 帧违规，首个在 %1</source>
        <translation>
            <numerusform>%n frame violates, the first at %1</numerusform>
            <numerusform>%n frames violate, the first at %1</numerusform>
        </translation>
    </message>
    <message>
        <source>缓冲区下溢</source>
        <translation>Buffer underflow</translation>
    </message>
    <message>
        <source>帧大于缓冲区</source>
        <translation>Frame larger than the buffer</translation>
    </message>
    <message>
        <source>GOP过长</source>
        <translation>GOP too long</translation>
    </message>
    <message>
        <source>最低 %1%</source>
        <translation>lowest %1%</translation>
    </message>
</context>
<context>
    <name>mvgui::CFileInfoDlg</name>
    <message>
        <source>抱歉，没什么好输出的。</source>
        <translation>Sorry, there is nothing to export.</translation>
    </message>
    <message>
        <source>文件信息</source>
        <translation>File Information</translation>
    </message>
    <message>
        <source>另存为</source>
        <translation>Save As</translation>
    </message>
    <message>
        <source>（在显示区点击右键可弹出快捷菜单）</source>
        <translation>(Right-click for a menu)</translation>
    </message>
    <message>
        <source>保存文件</source>
        <translation>Save File</translation>
    </message>
</context>
<context>
    <name>mvgui::CFilterDlg</name>
    <message>
        <source>数据筛选</source>
        <translation>Highlight Seconds</translation>
    </message>
    <message>
        <source>突出显示码率最大的</source>
        <translation>Highlight highest</translation>
    </message>
    <message>
        <source>突出显示码率最小的</source>
        <translation>Highlight lowest</translation>
    </message>
    <message>
        <source>点</source>
        <translation>s</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>放弃</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>mvgui::CSingleFileSel</name>
    <message>
        <source>支持的文件</source>
        <translation>Supported Files</translation>
    </message>
    <message>
        <source>所有文件</source>
        <translation>All Files</translation>
    </message>
    <message>
        <source>文本文件</source>
        <translation>Text Files</translation>
    </message>
    <message>
        <source>%1 图像</source>
        <translation>%1 Image</translation>
    </message>
    <message>
        <source>%1 文件</source>
        <translation>%1 Files</translation>
    </message>
    <message>
        <source>基本流文件</source>
        <translation>Elementary stream files</translation>
    </message>
</context>
<context>
    <name>mvgui::ChartImage</name>
    <message>
        <source>视频码率</source>
        <translation>Video bitrate</translation>
    </message>
    <message>
        <source>音频码率</source>
        <translation>Audio bitrate</translation>
    </message>
    <message>
        <source>总码率</source>
        <translation>Total bitrate</translation>
    </message>
</context>
<context>
    <name>mvgui::FolderPicker</name>
    <message>
        <source>您所指定的目录

%1

无效。请重新指定。</source>
        <translation>The folder

%1

is not valid. Please choose another one.</translation>
    </message>
</context>
<context>
    <name>mvgui::FrameListModel</name>
    <message>
        <source>关键帧</source>
        <translation>Key</translation>
    </message>
    <message>
        <source>GOP</source>
        <translation>GOP</translation>
    </message>
    <message>
        <source>帧</source>
        <translation>Frame</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>字节</source>
        <translation>Bytes</translation>
    </message>
    <message>
        <source>帧数</source>
        <translation>Frames</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>开放</source>
        <translation>open</translation>
    </message>
    <message>
        <source>封闭</source>
        <translation>closed</translation>
    </message>
    <message numerus="yes">
        <source>%n 帧，%1 GOP：%2</source>
        <translation>
            <numerusform>%n frame, %1 GOP: %2</numerusform>
            <numerusform>%n frames, %1 GOP: %2</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>mvgui::IconLinkButton</name>
    <message>
        <source>抱歉，找不到帮助文件。请下载完整版本。</source>
        <translation>Sorry, the help file cannot be found. Please download the full version.</translation>
    </message>
</context>
<context>
    <name>mvgui::MainApp</name>
    <message>
        <source>Morvatelline 帮助</source>
        <translation>Morvatelline Help</translation>
    </message>
    <message>
        <source>文件已保存到：
</source>
        <translation>File saved to:
</translation>
    </message>
    <message>
        <source>只能同时显示两个文件，以下文件未打开：
%1</source>
        <translation>Only two files can be shown at once; these were not opened:
%1</translation>
    </message>
</context>
<context>
    <name>mvgui::MainDialog</name>
    <message>
        <source>没有无视频数据的秒。</source>
        <translation>No seconds without video data.</translation>
    </message>
    <message>
        <source>抱歉，没什么好输出的。</source>
        <translation>Sorry, there is nothing to export.</translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation>Open a file</translation>
    </message>
    <message>
        <source>关闭文件</source>
        <translation>Close the file</translation>
    </message>
    <message>
        <source>文件信息</source>
        <translation>File information</translation>
    </message>
    <message>
        <source>关于 Morvatelline</source>
        <translation>About Morvatelline</translation>
    </message>
    <message>
        <source>打开帮助文件</source>
        <translation>Open the help file</translation>
    </message>
    <message>
        <source>批量检查RM文件中是否有0码率点</source>
        <translation>Check RM files for zero-bitrate seconds</translation>
    </message>
    <message>
        <source>全部</source>
        <translation>Whole</translation>
    </message>
    <message>
        <source>1、选择需要分析的文件（可以同时分析两个）</source>
        <translation>1. Choose the files to analyse (two can be compared)</translation>
    </message>
    <message>
        <source>2、显示码率曲线</source>
        <translation>2. Show the bitrate curve</translation>
    </message>
    <message>
        <source>项:</source>
        <translation>Of:</translation>
    </message>
    <message>
        <source>视频码率</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>音频码率</source>
        <translation>Audio</translation>
    </message>
    <message>
        <source>总码率</source>
        <translation>Total</translation>
    </message>
    <message>
        <source>比例:</source>
        <translation>Zoom:</translation>
    </message>
    <message>
        <source>数据点</source>
        <translation>Points</translation>
    </message>
    <message>
        <source>3、设置码率输出选项</source>
        <translation>3. Output options</translation>
    </message>
    <message>
        <source>文件基本信息</source>
        <translation>File info</translation>
    </message>
    <message>
        <source>表头</source>
        <translation>Header</translation>
    </message>
    <message>
        <source>统计特征项</source>
        <translation>Statistics</translation>
    </message>
    <message>
        <source>4、输出码率数据</source>
        <translation>4. Export bitrate data</translation>
    </message>
    <message>
        <source>输出到txt文件</source>
        <translation>To text file</translation>
    </message>
    <message>
        <source>输出到Excel文件</source>
        <translation>To Excel file</translation>
    </message>
    <message>
        <source>最大</source>
        <translation>Max</translation>
    </message>
    <message>
        <source>最小</source>
        <translation>Min</translation>
    </message>
    <message>
        <source>平均</source>
        <translation>Avg</translation>
    </message>
    <message>
        <source>码率最大的</source>
        <translation>Highest</translation>
    </message>
    <message>
        <source>点</source>
        <translation>s</translation>
    </message>
    <message>
        <source>码率最小的</source>
        <translation>Lowest</translation>
    </message>
    <message>
        <source>0码率点</source>
        <translation>0 kbit/s</translation>
    </message>
    <message>
        <source>复制图像</source>
        <translation>Copy image</translation>
    </message>
    <message>
        <source>保存图像…</source>
        <translation>Save image…</translation>
    </message>
    <message>
        <source>图像包含整个文件</source>
        <translation>Image shows the whole file</translation>
    </message>
    <message>
        <source>下一个标记点</source>
        <translation>Next marked second</translation>
    </message>
    <message>
        <source>上一个标记点</source>
        <translation>Previous marked second</translation>
    </message>
    <message>
        <source>文件%1</source>
        <translation>File %1</translation>
    </message>
    <message>
        <source>保存图像</source>
        <translation>Save Image</translation>
    </message>
    <message>
        <source>选择文件</source>
        <translation>Open File</translation>
    </message>
    <message>
        <source>保存文件</source>
        <translation>Save File</translation>
    </message>
    <message>
        <source>每帧</source>
        <translation>Per frame</translation>
    </message>
    <message>
        <source>每GOP</source>
        <translation>Per GOP</translation>
    </message>
    <message>
        <source>峰值窗口</source>
        <translation>Window</translation>
    </message>
    <message>
        <source> 秒</source>
        <translation> s</translation>
    </message>
    <message>
        <source>平均线</source>
        <translation>Mean</translation>
    </message>
    <message>
        <source>选择轨道</source>
        <translation>Choose tracks</translation>
    </message>
    <message>
        <source>蓝光</source>
        <translation>Blu-ray</translation>
    </message>
    <message>
        <source>码流自带</source>
        <translation>As the stream declares</translation>
    </message>
    <message>
        <source>自定义</source>
        <translation>Custom</translation>
    </message>
    <message>
        <source>缓冲区</source>
        <translation>Buffer</translation>
    </message>
    <message>
        <source>各轨道</source>
        <translation>Every track</translation>
    </message>
    <message>
        <source>缓冲区检查的模型</source>
        <translation>The buffer the check models</translation>
    </message>
    <message>
        <source>充入速率</source>
        <translation>Fill rate</translation>
    </message>
    <message>
        <source>缓冲区大小</source>
        <translation>Buffer size</translation>
    </message>
    <message>
        <source>视频轨 %1，音频轨 %2</source>
        <translation>Video track %1, audio track %2</translation>
    </message>
    <message>
        <source>无</source>
        <translation>none</translation>
    </message>
    <message>
        <source>抱歉，无法改用这些轨道。</source>
        <translation>Sorry, these tracks cannot be counted.</translation>
    </message>
</context>
<context>
    <name>mvgui::OpenProgress</name>
    <message>
        <source>正在读取文件…
%1</source>
        <translation>Reading the file…
%1</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>mvgui::SummaryWindow</name>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>无法读取的原因</source>
        <translation>Why it could not be read</translation>
    </message>
    <message>
        <source>格式</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>视频编码</source>
        <translation>Video codec</translation>
    </message>
    <message>
        <source>音频编码</source>
        <translation>Audio codec</translation>
    </message>
    <message>
        <source>时长</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source>文件大小(字节)</source>
        <translation>Size (bytes)</translation>
    </message>
    <message>
        <source>宽</source>
        <translation>Width</translation>
    </message>
    <message>
        <source>高</source>
        <translation>Height</translation>
    </message>
    <message>
        <source>帧率</source>
        <translation>Frame rate</translation>
    </message>
    <message>
        <source>视频平均</source>
        <translation>Video avg</translation>
    </message>
    <message>
        <source>视频最高</source>
        <translation>Video max</translation>
    </message>
    <message>
        <source>视频最低</source>
        <translation>Video min</translation>
    </message>
    <message>
        <source>音频平均</source>
        <translation>Audio avg</translation>
    </message>
    <message>
        <source>音频最高</source>
        <translation>Audio max</translation>
    </message>
    <message>
        <source>音频最低</source>
        <translation>Audio min</translation>
    </message>
    <message>
        <source>总平均</source>
        <translation>Total avg</translation>
    </message>
    <message>
        <source>总最高</source>
        <translation>Total max</translation>
    </message>
    <message>
        <source>总最低</source>
        <translation>Total min</translation>
    </message>
    <message>
        <source>峰值窗口(秒)</source>
        <translation>Peak window (s)</translation>
    </message>
    <message>
        <source>视频峰值</source>
        <translation>Video peak</translation>
    </message>
    <message>
        <source>总峰值</source>
        <translation>Total peak</translation>
    </message>
    <message>
        <source>无视频秒数</source>
        <translation>Seconds without video</translation>
    </message>
    <message>
        <source>第一段无视频</source>
        <translation>First gap</translation>
    </message>
    <message>
        <source>帧数</source>
        <translation>Frames</translation>
    </message>
    <message>
        <source>关键帧</source>
        <translation>Key frames</translation>
    </message>
    <message>
        <source>最短GOP</source>
        <translation>Shortest GOP</translation>
    </message>
    <message>
        <source>最长GOP</source>
        <translation>Longest GOP</translation>
    </message>
    <message>
        <source>平均GOP</source>
        <translation>Average GOP</translation>
    </message>
    <message>
        <source>缓冲区</source>
        <translation>Buffer</translation>
    </message>
    <message>
        <source>违规帧</source>
        <translation>Violating frames</translation>
    </message>
    <message>
        <source>第一段违规</source>
        <translation>First violation</translation>
    </message>
    <message>
        <source>备注</source>
        <translation>Notes</translation>
    </message>
    <message>
        <source>统计汇总 - %1</source>
        <translation>Summary - %1</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>导出CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>正在查找文件……</source>
        <translation>Looking for files…</translation>
    </message>
    <message>
        <source>已完成 %1/%2</source>
        <translation>Done %1/%2</translation>
    </message>
    <message>
        <source>未通过</source>
        <translation>failed</translation>
    </message>
    <message>
        <source>通过</source>
        <translation>passed</translation>
    </message>
    <message>
        <source>共 %1 个文件：%2 个有问题，%3 个无法读取</source>
        <translation>%1 files: %2 with problems, %3 could not be read</translation>
    </message>
    <message>
        <source>已停止：已完成 %1 个文件</source>
        <translation>Stopped after %1 files</translation>
    </message>
    <message>
        <source>；%1 个文件夹无法读取</source>
        <translation>; %1 folders could not be read</translation>
    </message>
</context>
<context>
    <name>mvgui::TrackDialog</name>
    <message>
        <source>选择轨道</source>
        <translation>Choose Tracks</translation>
    </message>
    <message>
        <source>编号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>编码</source>
        <translation>Codec</translation>
    </message>
    <message>
        <source>语言</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>字节</source>
        <translation>Bytes</translation>
    </message>
    <message>
        <source>节目</source>
        <translation>Program</translation>
    </message>
    <message>
        <source>容器中的编号 %1</source>
        <translation>Number in the container: %1</translation>
    </message>
    <message>
        <source>视频码率计入:</source>
        <translation>Video bitrate of:</translation>
    </message>
    <message>
        <source>音频码率计入:</source>
        <translation>Audio bitrate of:</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>放弃</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>（默认）</source>
        <translation> (default)</translation>
    </message>
</context>
<context>
    <name>mvgui::TrackLayers</name>
    <message>
        <source>视频</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>音频</source>
        <translation>Audio</translation>
    </message>
    <message>
        <source>字幕</source>
        <translation>Subtitles</translation>
    </message>
    <message>
        <source>其他</source>
        <translation>Other</translation>
    </message>
    <message>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <source>轨道太多、时间太长，无法逐秒显示</source>
        <translation>Too many tracks over too long a time to show by second</translation>
    </message>
    <message>
        <source>轨道的时间戳超出范围</source>
        <translation>A track&apos;s time stamps lie out of range</translation>
    </message>
</context>
</TS>
