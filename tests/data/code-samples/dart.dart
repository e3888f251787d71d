import 'package:flutter/material.dart';

class CounterPage extends StatefulWidget {
  const CounterPage({super.key});

  @override
  State<CounterPage> createState() => _CounterPageState();
}

class _CounterPageState extends State<CounterPage> {
  int _count = 0;

  Future<void> _increment() async {
    await Future.delayed(const Duration(milliseconds: 100));
    setState(() => _count++);
  }

  @override
  Widget build(BuildContext context) {
    return Text('Count: $_count');
  }
}
