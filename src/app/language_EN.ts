<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>SrcDesk</name>
    <message>
        <source>提示</source>
        <translation>Tips</translation>
    </message>
    <message>
        <source>固件版本：</source>
        <translation>Firmware version：</translation>
    </message>
    <message>
        <source>未获取</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source>设备状态：</source>
        <translation>DeviceStatus:</translation>
    </message>
    <message>
        <source>工作状态：</source>
        <translation>WorkingStatus:</translation>
    </message>
    <message>
        <source>GPS锁定：</source>
        <translation>GPS lock:</translation>
    </message>
    <message>
        <source>GPS闰秒：</source>
        <translation>GPS leap second:</translation>
    </message>
    <message>
        <source>特殊状态：</source>
        <translation>Special state：</translation>
    </message>
    <message>
        <source>中断保护</source>
        <translation>Interrupt protection</translation>
    </message>
    <message>
        <source>预警信息：</source>
        <translation>Warning:</translation>
    </message>
    <message>
        <source>通信端口：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>自动扫描连接</source>
        <translation>Automatic connection</translation>
    </message>
    <message>
        <source>GPS时间：</source>
        <translation>GPS Time:</translation>
    </message>
    <message>
        <source>发送时间：</source>
        <translation>Send Time:</translation>
    </message>
    <message>
        <source>整分</source>
        <translation>Integral minute</translation>
    </message>
    <message>
        <source>整周期</source>
        <translation>Integral period</translation>
    </message>
    <message>
        <source>同步延时：</source>
        <translation>Sync delay:</translation>
    </message>
    <message>
        <source>设置延时(mS)</source>
        <translation>Set delay (mS)</translation>
    </message>
    <message>
        <source>输出模式:</source>
        <translation>Mode:</translation>
    </message>
    <message>
        <source>单频输出</source>
        <translation>Single frequency</translation>
    </message>
    <message>
        <source>扫频输出</source>
        <translation>Sweep output</translation>
    </message>
    <message>
        <source>信号类型:</source>
        <translation>Signal:</translation>
    </message>
    <message>
        <source>频率(Hz):</source>
        <translation>Frequency(Hz):</translation>
    </message>
    <message>
        <source>扫频模式:</source>
        <translation>Sweep mode:</translation>
    </message>
    <message>
        <source>启动</source>
        <translation>Startup</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>历史记录</source>
        <translation>History record</translation>
    </message>
    <message>
        <source>导入</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>导出</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>插入</source>
        <translation>Insert</translation>
    </message>
    <message>
        <source>增加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Empty</translation>
    </message>
    <message>
        <source>总时间</source>
        <translation>Totaltime</translation>
    </message>
    <message>
        <source>方波</source>
        <translation>Square wave</translation>
    </message>
    <message>
        <source>3阶扩频波</source>
        <translation>Order 3 spread spectrum wave</translation>
    </message>
    <message>
        <source>4阶扩频波</source>
        <translation>Order 4 spread spectrum wave</translation>
    </message>
    <message>
        <source>5阶扩频波</source>
        <translation>Order 5 spread spectrum wave</translation>
    </message>
    <message>
        <source>6阶扩频波</source>
        <translation>Order 6 spread spectrum wave</translation>
    </message>
    <message>
        <source>7阶扩频波</source>
        <translation>Order 7 spread spectrum wave</translation>
    </message>
    <message>
        <source>8阶扩频波</source>
        <translation>Order 8 spread spectrum wave</translation>
    </message>
    <message>
        <source>3阶多频波</source>
        <translation>Order 3 multifrequency wave</translation>
    </message>
    <message>
        <source>5阶多频波</source>
        <translation>Order 5 multifrequency wave</translation>
    </message>
    <message>
        <source>7阶多频波</source>
        <translation>Order 7 multifrequency wave</translation>
    </message>
    <message>
        <source>9阶多频波</source>
        <translation>Order 9 multifrequency wave</translation>
    </message>
    <message>
        <source>过零方波-25%占空</source>
        <translation>Zero passage square wave-duty ratio 25%</translation>
    </message>
    <message>
        <source>过零方波-50%占空</source>
        <translation>Zero passage square wave-duty ratio 50%</translation>
    </message>
    <message>
        <source>过零方波-70%占空</source>
        <translation>Zero passage square wave-duty ratio 70%</translation>
    </message>
    <message>
        <source>单次扫频</source>
        <translation>Single frequency sweep</translation>
    </message>
    <message>
        <source>循环扫频</source>
        <translation>Cyclic frequency sweep</translation>
    </message>
    <message>
        <source>应用启动!</source>
        <translation>Application is start!</translation>
    </message>
    <message>
        <source>应用初始化...</source>
        <translation>Application initialization...</translation>
    </message>
    <message>
        <source>程序已启动！</source>
        <translation>Program started!</translation>
    </message>
    <message>
        <source>应用初始化完成.</source>
        <translation>Application initialization completed.</translation>
    </message>
    <message>
        <source>端口连接成功.</source>
        <translation>Port connected successfully.</translation>
    </message>
    <message>
        <source>端口连接测试成功</source>
        <translation>Port connection test successful.</translation>
    </message>
    <message>
        <source>扫描端口...</source>
        <translation>Scan ports...</translation>
    </message>
    <message>
        <source>启动发射...</source>
        <translation>Launch transmitting...</translation>
    </message>
    <message>
        <source>**通信**：%1</source>
        <translation>** Communication ** : %1</translation>
    </message>
    <message>
        <source>%调试信息-&gt;%2</source>
        <translation>% debug info -&gt; %2</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>是否保存参数?</source>
        <translation>Do you want to save the parameters？</translation>
    </message>
    <message>
        <source>退出应用</source>
        <translation>Exit the application</translation>
    </message>
    <message>
        <source>退出应用并保存配置</source>
        <translation>Exit the application and save the configuration.</translation>
    </message>
    <message>
        <source>参数保存失败！</source>
        <translation>Failed to save the parameters!</translation>
    </message>
    <message>
        <source>频率表未保存！</source>
        <translation>The frequency table was not saved!</translation>
    </message>
    <message>
        <source>参数文件无效，使用默认参数</source>
        <translation>The parameter file is invalid; the defaults are used.</translation>
    </message>
    <message>
        <source>%1 (模拟发射机)</source>
        <translation>%1 (simulated transmitter)</translation>
    </message>
    <message>
        <source>发射机为模拟设备，未连接真实硬件</source>
        <translation>The transmitter is simulated; no hardware is connected.</translation>
    </message>
    <message>
        <source>连接中...</source>
        <translation>In connection...</translation>
    </message>
    <message>
        <source>连接失败</source>
        <translation>Disconnected</translation>
    </message>
    <message>
        <source>已连接</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>工作中</source>
        <translation>Working</translation>
    </message>
    <message>
        <source>空闲</source>
        <translation>Idle</translation>
    </message>
    <message>
        <source>待发送</source>
        <translation>Wait Sent</translation>
    </message>
    <message>
        <source>控制软件版本过低,与发送机不兼容！</source>
        <translation>The control software version is too low and incompatible with the transmitter!</translation>
    </message>
    <message>
        <source>命令发送异常！</source>
        <translation>Command sending exception!</translation>
    </message>
    <message>
        <source>警告：异常！</source>
        <translation>Warning: Exception!</translation>
    </message>
    <message>
        <source>命令返回异常!</source>
        <translation>Command returns exception!</translation>
    </message>
    <message>
        <source>命令超时</source>
        <translation>Command timeout!</translation>
    </message>
    <message>
        <source>命令超时定时器停止异常！</source>
        <translation>Command timeout timer stopped abnormally!</translation>
    </message>
    <message>
        <source>开始自动扫描连接</source>
        <translation>Start automatic scanning of connections</translation>
    </message>
    <message>
        <source>发现端口数：%1</source>
        <translation>Number of found ports:  %1</translation>
    </message>
    <message>
        <source>警告：未连接！</source>
        <translation>Warning: Not connected!</translation>
    </message>
    <message>
        <source>非法设备</source>
        <translation>Unkhown port</translation>
    </message>
    <message>
        <source>打开%1</source>
        <translation>Open %1</translation>
    </message>
    <message>
        <source>打开端口</source>
        <translation>Open port</translation>
    </message>
    <message>
        <source>连接测试中...</source>
        <translation>Connecting...</translation>
    </message>
    <message>
        <source>启动连接测试</source>
        <translation>Start connection test</translation>
    </message>
    <message>
        <source>打开%1失败</source>
        <translation>Open %1 failed</translation>
    </message>
    <message>
        <source>端口打开失败</source>
        <translation>Port opening failed!</translation>
    </message>
    <message>
        <source>串口已正常开启!</source>
        <translation>The serial port has been opened normally!</translation>
    </message>
    <message>
        <source>警告：未连接!</source>
        <translation>Warning: Not connected!</translation>
    </message>
    <message>
        <source>串口为空</source>
        <translation>Serial port is null</translation>
    </message>
    <message>
        <source>%1重新打开失败</source>
        <translation>Failed to reopen %1</translation>
    </message>
    <message>
        <source>端口重新打开失败</source>
        <translation>Port reopening failed</translation>
    </message>
    <message>
        <source>串口关闭!</source>
        <translation>Serial port closed!</translation>
    </message>
    <message>
        <source>串口关闭成功</source>
        <translation>Serial port closed successfully</translation>
    </message>
    <message>
        <source>串口未开启，无需关闭</source>
        <translation>Serial port not turned on, no need to turn it off</translation>
    </message>
    <message>
        <source>设置信号频率</source>
        <translation>Set signal frequency.</translation>
    </message>
    <message>
        <source>开始停止任务</source>
        <translation>Start stopping task</translation>
    </message>
    <message>
        <source>获取硬件版本号</source>
        <translation>Obtain hardware version number</translation>
    </message>
    <message>
        <source>获取GPS时间</source>
        <translation>Obtain GPS time.</translation>
    </message>
    <message>
        <source>启动信号设置成功</source>
        <translation>Start signal setting successful.</translation>
    </message>
    <message>
        <source>启动信号设置失败</source>
        <translation>Start signal setting failed!</translation>
    </message>
    <message>
        <source>启动失败！</source>
        <translation>Startup failed!</translation>
    </message>
    <message>
        <source>启动成功.</source>
        <translation>Startup successful.</translation>
    </message>
    <message>
        <source>启动成功</source>
        <translation>Startup successful.</translation>
    </message>
    <message>
        <source>启动参数设置失败</source>
        <translation>Failed to set startup parameters!</translation>
    </message>
    <message>
        <source>任务已停止.</source>
        <translation>The mission has been stopped.</translation>
    </message>
    <message>
        <source>停止任务成功</source>
        <translation>Task stopped successfully.</translation>
    </message>
    <message>
        <source>任务停止失败!</source>
        <translation>Task stopped failed!</translation>
    </message>
    <message>
        <source>停止任务失败</source>
        <translation>The mission stop failed!</translation>
    </message>
    <message>
        <source>扫频模式设置成功.</source>
        <translation>Sweep mode is set successfully.</translation>
    </message>
    <message>
        <source>扫频模式设置成功</source>
        <translation>Sweep mode is set successfully.</translation>
    </message>
    <message>
        <source>扫频模式设置失败</source>
        <translation>Scanning mode setting failed</translation>
    </message>
    <message>
        <source>扫频模式设置失败！</source>
        <translation>Sweep mode is set failed.</translation>
    </message>
    <message>
        <source>设备状态设置异常！</source>
        <translation>Abnormal device status setting!</translation>
    </message>
    <message>
        <source>同步延时设置成功.</source>
        <translation>The synchronization delay is set successfully.</translation>
    </message>
    <message>
        <source>同步延时设置成功</source>
        <translation>Synchronization delay setting successful!</translation>
    </message>
    <message>
        <source>同步延时设置失败！</source>
        <translation>The synchronization delay is set failed!</translation>
    </message>
    <message>
        <source>同步延时设置失败</source>
        <translation>Synchronization delay setting failed!</translation>
    </message>
    <message>
        <source>版本号获取成功，开始解析</source>
        <translation>Version number successfully obtained, starting parsing.</translation>
    </message>
    <message>
        <source>版本号解析成功</source>
        <translation>Version number resolved successfully.</translation>
    </message>
    <message>
        <source>GPS时间获取成功,开始解析</source>
        <translation>GPS time acquisition successful, start parsing.</translation>
    </message>
    <message>
        <source>GPS时间解析成功</source>
        <translation>GPS time resolution successful.</translation>
    </message>
    <message>
        <source>GPS时间获取失败</source>
        <translation>GPS time acquisition failed.</translation>
    </message>
    <message>
        <source>已锁定</source>
        <translation>Locked</translation>
    </message>
    <message>
        <source>未锁定</source>
        <translation>Unlocked</translation>
    </message>
    <message>
        <source>已闰秒</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>未闰秒</source>
        <translation>No</translation>
    </message>
    <message>
        <source>设备过温</source>
        <translation>Overtemperature of equipment</translation>
    </message>
    <message>
        <source>,过温</source>
        <translation>, Over temperature</translation>
    </message>
    <message>
        <source>设备过压</source>
        <translation>Overvoltage of equipment</translation>
    </message>
    <message>
        <source>,过压</source>
        <translation>, Overvoltage</translation>
    </message>
    <message>
        <source>设备过流</source>
        <translation>Overcurrent of equipment</translation>
    </message>
    <message>
        <source>,过流</source>
        <translation>, Overcurrent</translation>
    </message>
    <message>
        <source>设备缺水</source>
        <translation>Water shortage of equipment</translation>
    </message>
    <message>
        <source>,缺水</source>
        <translation>, Water shortage</translation>
    </message>
    <message>
        <source>发射机GPS未锁定/未闰秒，无法与接收机同步，是否继续发射？</source>
        <translation>The transmitter GPS is not locked/intercalary second, unable to synchronize with the receiver. Do you want to continue transmitting?</translation>
    </message>
    <message>
        <source>选择单频输出</source>
        <translation>Select single frequency output.</translation>
    </message>
    <message>
        <source>选择扫频输出</source>
        <translation>Select sweep frequency output.</translation>
    </message>
    <message>
        <source>设置启动参数</source>
        <translation>Set startup parameters.</translation>
    </message>
    <message>
        <source>启动参数组装成功，开始发送</source>
        <translation>Start parameter assembly successful, start sending.</translation>
    </message>
    <message>
        <source>发送机不能产生%1Hz信号，请重新设置！</source>
        <translation>Transmitter can not generate %1Hz signal, please reset!</translation>
    </message>
    <message>
        <source>第%1个频率不能发送超过%2Hz，请重新设置！</source>
        <translation>The %1th frequency can not send more than %2Hz, please reset!</translation>
    </message>
    <message>
        <source>周期数必须大于0且小于%1，请重新设置第%2个频率的发送时长！</source>
        <translation>The number of cycles must be greater than 0 and less than %1. Please reset the sending duration for the %2nd frequency!</translation>
    </message>
    <message>
        <source>警告：启动失败！</source>
        <translation>Warning: Startup failed!</translation>
    </message>
    <message>
        <source>启动参数组装失败！</source>
        <translation>Failed to start parameter assembly!</translation>
    </message>
    <message>
        <source>启动扫频模式设置</source>
        <translation>Activate sweep mode setting</translation>
    </message>
    <message>
        <source>频率表不能为空！</source>
        <translation>The frequency table cannot be empty!</translation>
    </message>
    <message>
        <source>当前扫频模式且频率表为空，停止特殊设置</source>
        <translation>The current sweep mode and frequency table are empty, stop special settings!</translation>
    </message>
    <message>
        <source>设置循环扫频</source>
        <translation>Set cyclic sweep frequency.</translation>
    </message>
    <message>
        <source>设置单次扫频</source>
        <translation>Set single sweep frequency.</translation>
    </message>
    <message>
        <source>设置扫频模式</source>
        <translation>Set the sweep mode</translation>
    </message>
    <message>
        <source>同步延时时间为空！</source>
        <translation>Synchronization delay time is null!</translation>
    </message>
    <message>
        <source>丢弃迟到的应答</source>
        <translation>A late answer was discarded.</translation>
    </message>
    <message>
        <source>启动已取消.</source>
        <translation>The start was cancelled.</translation>
    </message>
    <message>
        <source>同步延时已取消.</source>
        <translation>The synchronization delay was cancelled.</translation>
    </message>
    <message>
        <source>启动结果未知，发送停止命令.</source>
        <translation>The start&apos;s outcome is unknown; sending a stop.</translation>
    </message>
    <message>
        <source>停止未确认！</source>
        <translation>The stop was not confirmed!</translation>
    </message>
    <message>
        <source>发射机状态未知！</source>
        <translation>The transmitter&apos;s state is unknown!</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <source>同步延时超出范围！</source>
        <translation>The synchronization delay is out of range!</translation>
    </message>
    <message>
        <source>设置同步延时</source>
        <translation>Set the synchronization delay</translation>
    </message>
    <message>
        <source>启动发射</source>
        <translation>Start launch</translation>
    </message>
    <message>
        <source>更新启动参数!</source>
        <translation>Update startup parameters!</translation>
    </message>
    <message>
        <source>启动参数更新完成!</source>
        <translation>Start parameter update completed!</translation>
    </message>
    <message>
        <source>设置整分</source>
        <translation>Set whole minute</translation>
    </message>
    <message>
        <source>设置提示</source>
        <translation>Setup Tips</translation>
    </message>
    <message>
        <source>至少需要1个频率，请先导入频率表！</source>
        <translation>At least 1 frequency is required, please import the frequency table first!</translation>
    </message>
    <message>
        <source>设置整周期</source>
        <translation>Set whole cycle</translation>
    </message>
    <message>
        <source>请选择需要删除的条目</source>
        <translation>Select the item to be deleted</translation>
    </message>
    <message>
        <source>文件打开失败！</source>
        <translation>File opening failed!</translation>
    </message>
    <message>
        <source>%1 已存在，是否替换？</source>
        <translation>%1 already exists. Do you want to replace it?</translation>
    </message>
    <message>
        <source>文件导出失败！</source>
        <translation>File export failed!</translation>
    </message>
    <message>
        <source>频率表最多只能有127行！</source>
        <translation>The frequency table can hold at most 127 rows!</translation>
    </message>
    <message>
        <source>警告：超时！</source>
        <translation>Warning: Timeout!</translation>
    </message>
    <message>
        <source>%1用户操作-&gt;%2</source>
        <translation>%1 User action -&gt; %2</translation>
    </message>
    <message>
        <source>%1系统信息-&gt;%2</source>
        <translation>%1 System information -&gt; %2</translation>
    </message>
    <message>
        <source>串口重新打开成功.</source>
        <translation>Serial port reopened successfully.</translation>
    </message>
    <message>
        <source>版本号获取失败</source>
        <translation>Failed to read the version number.</translation>
    </message>
    <message>
        <source>扫频输出最多只能有26行！</source>
        <translation>Sweep output can hold at most 26 rows!</translation>
    </message>
    <message>
        <source>发送时间无效，请按yyyy/MM/dd hh:mm:ss填写真实的日期和时间！</source>
        <translation>Invalid send time. Please enter a real date and time as yyyy/MM/dd hh:mm:ss!</translation>
    </message>
    <message>
        <source>发射已结束 %1</source>
        <translation>Transmission ended at %1</translation>
    </message>
    <message>
        <source>发射中，进度未知</source>
        <translation>Transmitting; progress unknown</translation>
    </message>
    <message>
        <source>正在发送 %1 Hz，已发送 %2</source>
        <translation>Sending %1 Hz, for %2 so far</translation>
    </message>
    <message>
        <source>正在发送第%1行 %2 Hz，本行剩余 %3，本轮剩余 %4，本轮结束 %5（循环扫频）</source>
        <translation>Sending row %1, %2 Hz: %3 left in this row, %4 left in this cycle, cycle ends %5 (cyclic sweep)</translation>
    </message>
    <message>
        <source>正在发送第%1行 %2 Hz，本行剩余 %3，全部剩余 %4，预计结束 %5</source>
        <translation>Sending row %1, %2 Hz: %3 left in this row, %4 left in the sweep, planned end %5</translation>
    </message>
    <message>
        <source>距发送 %1（%2 开始）</source>
        <translation>Start in %1 (at %2)</translation>
    </message>
    <message>
        <source>同步延时：本次运行未设置</source>
        <translation>Sync delay: not set in this run</translation>
    </message>
    <message>
        <source>同步延时：%1 ms（本次运行已设置）</source>
        <translation>Sync delay: %1 ms (set in this run)</translation>
    </message>
    <message>
        <source>同步延时已设置为%1 ms</source>
        <translation>Sync delay set to %1 ms</translation>
    </message>
    <message>
        <source>发送时间已过或距现在不足10秒，是否立即启动？</source>
        <translation>The send time has passed or is less than 10 s away. Start at once?</translation>
    </message>
    <message>
        <source>停止未成功，窗口未关闭。</source>
        <translation>The stop did not succeed; the window stays open.</translation>
    </message>
    <message>
        <source>发射机正在发射或等待发送，关闭窗口不会使其停止。</source>
        <translation>The transmitter is transmitting or waiting to send; closing the window does not stop it.</translation>
    </message>
    <message>
        <source>停止并关闭</source>
        <translation>Stop and close</translation>
    </message>
    <message>
        <source>关闭，保持发射</source>
        <translation>Close, leave it running</translation>
    </message>
    <message>
        <source>关闭窗口，发射机继续发射</source>
        <translation>Window closed; the transmitter left running</translation>
    </message>
    <message>
        <source>%1应答无法识别</source>
        <translation>%1: answer not understood</translation>
    </message>
    <message>
        <source>%1无应答</source>
        <translation>%1: no answer</translation>
    </message>
    <message>
        <source>已导入频率表%1，共%2行</source>
        <translation>Frequency table %1 imported, %2 rows</translation>
    </message>
    <message>
        <source>已导出频率表%1</source>
        <translation>Frequency table exported to %1</translation>
    </message>
</context>
<context>
    <name>TableModel</name>
    <message>
        <source>编号</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>频率(Hz)</source>
        <translation>Frequency(Hz)</translation>
    </message>
    <message>
        <source>发送时长(S)</source>
        <translation>Sending time(S)</translation>
    </message>
    <message>
        <source>周期数</source>
        <translation>Period number</translation>
    </message>
    <message>
        <source>采样率(Hz)</source>
        <translation>Sampling rate(Hz)</translation>
    </message>
</context>
</TS>
